#include "Common/OpenGL/COpenGLRenderbuffer.h"

#include <epoxy/gl.h>

#include "Common/OpenGL/COpenGLContext_Cca.h"
#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Platform/GL/GLObjectCounts.h"

COpenGLRenderbuffer::~COpenGLRenderbuffer() {
    if (!fName) return;
    COpenGLScope_Cca scope(*COpenGLCommonCtx::Use());
    glDeleteRenderbuffersEXT(1, &fName);
}

uint32_t COpenGLRenderbuffer::Prepare(COpenGLContext_Cca& context) {
    if (!fName) {
        COpenGLScope_Cca scope(context);
        glGenRenderbuffersEXT(1, &fName);
        plat::CountGLRenderbuffers();
    }
    return fName;
}
