#include "Common/OpenGL/COpenGLFBO.h"

#include <epoxy/gl.h>

#include "Common/OpenGL/COpenGLContext_Cca.h"
#include "Common/OpenGL/COpenGLScope_Cca.h"

COpenGLFBO::~COpenGLFBO() {
    if (!fName) return;
    COpenGLScope_Cca scope(*COpenGLCommonCtx::Use());
    glDeleteFramebuffersEXT(1, &fName);
}

uint32_t COpenGLFBO::Prepare(COpenGLContext_Cca&) {
    if (!fName) glGenFramebuffersEXT(1, &fName);
    return fName;
}

COpenGLFBScope::COpenGLFBScope(uint32_t framebuffer) {
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &fSaved);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer);
}

COpenGLFBScope::~COpenGLFBScope() {
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, static_cast<GLuint>(fSaved));
}
