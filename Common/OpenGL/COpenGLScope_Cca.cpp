#include "Common/OpenGL/COpenGLScope_Cca.h"

#include "Common/OpenGL/COpenGLContext_Cca.h"
#include "Platform/GL/GLContext.h"

COpenGLScope_Cca::COpenGLScope_Cca(COpenGLContext_Cca& context)
    : fContext(&context), fPrevious(plat::GLContext::Current()) {
    if (fPrevious && fPrevious == context.glcontext()) return;
    context.lock().lock();
    fLocked = true;
    if (context.glcontext()) {
        context.glcontext()->MakeCurrent();
    } else {
        plat::GLContext::ClearCurrent();
    }
}

COpenGLScope_Cca::~COpenGLScope_Cca() {
    if (!fLocked) return;
    if (fPrevious) {
        fPrevious->MakeCurrent();
    } else {
        plat::GLContext::ClearCurrent();
    }
    fContext->lock().unlock();
}
