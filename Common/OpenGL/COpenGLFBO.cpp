#include "Common/OpenGL/COpenGLFBO.h"

#include <epoxy/gl.h>

#include "Common/OpenGL/COpenGLContext_Cca.h"
#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Platform/GL/GLObjectCounts.h"

COpenGLFBO::~COpenGLFBO() {
    if (!fName) return;
    COpenGLScope_Cca scope(*COpenGLCommonCtx::Use());
    glDeleteFramebuffersEXT(1, &fName);
}

uint32_t COpenGLFBO::Prepare(COpenGLContext_Cca&) {
    if (!fName) {
        glGenFramebuffersEXT(1, &fName);
        plat::CountGLFramebuffers();
    }
    return fName;
}
