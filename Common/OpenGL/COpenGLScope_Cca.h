#pragma once

namespace plat {
class GLContext;
}
class COpenGLContext_Cca;

// Makes a context current on this thread and holds the GL lock while it lives. Entering a scope on
// the context that is already current takes no lock; leaving restores the previous context.
class COpenGLScope_Cca {
public:
    explicit COpenGLScope_Cca(COpenGLContext_Cca& context);
    ~COpenGLScope_Cca();
    COpenGLScope_Cca(const COpenGLScope_Cca&) = delete;
    COpenGLScope_Cca& operator=(const COpenGLScope_Cca&) = delete;

    // Whether entering took the lock.
    bool locked() const { return fLocked; }

private:
    COpenGLContext_Cca* fContext;
    plat::GLContext* fPrevious;
    bool fLocked = false;
};
