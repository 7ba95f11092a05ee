#include "Common/OpenGL/COpenGLScope_Cca.h"

#include "Common/OpenGL/COpenGLContext_Cca.h"
#include "Platform/GL/GLContext.h"

COpenGLScope_Cca::COpenGLScope_Cca(COpenGLContext_Cca& context)
    : fContext(&context), fPrevious(plat::GLContext::Current()) {
    if (fPrevious && fPrevious == context.glcontext()) return;
    context.lock().lock();
    fLocked = true;
    // A context that cannot be made current (it is current on another thread) leaves none current,
    // so the scope's GL calls go nowhere rather than into the previous context.
    if (!context.glcontext() || !context.glcontext()->MakeCurrent()) (void)plat::GLContext::ClearCurrent();
}

COpenGLScope_Cca::~COpenGLScope_Cca() {
    if (!fLocked) return;
    // Best effort: a scope ending has no one to report a failed restore to.
    if (fPrevious) {
        (void)fPrevious->MakeCurrent();
    } else {
        (void)plat::GLContext::ClearCurrent();
    }
    fContext->lock().unlock();
}
