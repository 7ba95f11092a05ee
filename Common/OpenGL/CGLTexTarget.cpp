#include "Common/OpenGL/CGLTexTarget.h"

#include <epoxy/gl.h>

#include <utility>

#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Common/OpenGL/UGLError.h"
#include "Common/OpenGL/UGLQuad.h"
#include "Platform/GL/GLBindingScope.h"
#include "Platform/Video/GLTextureCache.h"

CGLTexTarget::CGLTexTarget() : fContext(nullptr, nullptr), fCopyContext(nullptr, nullptr) {
    if (fContext.valid()) {
        COpenGLScope_Cca scope(fContext);
        fFBO.Prepare(fContext);
    }
    if (fCopyContext.valid()) {
        COpenGLScope_Cca scope(fCopyContext);
        fCopyFBO.Prepare(fCopyContext);
    }
}

CGLTexTarget::~CGLTexTarget() {
    Release();
}

void CGLTexTarget::Prepare(uint32_t width, uint32_t height, bool enable) {
    if (!enable || !fContext.valid()) {
        Release();
        return;
    }
    if (fTexture && (width != fWidth || height != fHeight)) Release();
    if (width == 0 || height == 0) return;
    if (!fTexture && !MakeTexture(width, height)) {
        Release();
        return;
    }
    COpenGLScope_Cca scope(fContext);
    GLint binding = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &binding);
    fSavedBinding = static_cast<uint32_t>(binding);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, fFBO.name());
    glViewport(0, 0, static_cast<GLsizei>(width), static_cast<GLsizei>(height));
}

bool CGLTexTarget::MakeTexture(uint32_t width, uint32_t height) {
    COpenGLScope_Cca scope(fContext);
    plat::Ref<COpenGLTexture> texture = COpenGLTexture::New(fContext, GL_TEXTURE_2D, nullptr);
    if (!texture) return false;
    {
        UGLError::Clear();
        glBindTexture(GL_TEXTURE_2D, texture->name());
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, static_cast<GLsizei>(width), static_cast<GLsizei>(height), 0,
                     GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        if (!UGLError::Ok()) {
            glBindTexture(GL_TEXTURE_2D, 0);
            return false;
        }
        plat::GLFramebufferBindingScope bind(fFBO.name());
        glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D,
                                  texture->name(), 0);
        glBindTexture(GL_TEXTURE_2D, 0);
        fTexture.HoldNew(std::move(texture));
        fWidth = width;
        fHeight = height;
    }
    return true;
}

void CGLTexTarget::End() {
    if (!fTexture) return;
    COpenGLScope_Cca scope(fContext);
    glFlush();
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, fSavedBinding);
}

void CGLTexTarget::Release() {
    fPixBufTexture = nullptr;
    if (fTexture && fContext.valid()) {
        COpenGLScope_Cca scope(fContext);
        plat::GLFramebufferBindingScope bind(fFBO.name());
        glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, 0, 0);
    }
    fTexture.Clear();
}

void CGLTexTarget::Clear() {
    if (!fTexture) return;
    COpenGLScope_Cca scope(fContext);
    plat::GLFramebufferBindingScope bind(fFBO.name());
    glClear(GL_COLOR_BUFFER_BIT);
}

void CGLTexTarget::CopyToPixelBuffer() {
    if (!fTexture) return;
    fPixBuf.SetSize(fWidth, fHeight);
    fPixBufTexture = fPixBuf.Get();
    plat::GLTexture* texture = fPixBufTexture.get();
    if (!texture || !fCopyContext.valid()) return;
    {
        COpenGLScope_Cca scope(fContext);
        glFinish();  // the copy context samples what this one drew
    }
    COpenGLScope_Cca scope(fCopyContext);
    plat::GLFramebufferBindingScope bind(fCopyFBO.name());
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_RECTANGLE_ARB,
                              texture->Name(), 0);
    glViewport(0, 0, static_cast<GLsizei>(fWidth), static_cast<GLsizei>(fHeight));
    glBindTexture(GL_TEXTURE_2D, fTexture->name());
    glEnable(GL_TEXTURE_2D);
    UGLQuad::DrawFlipped(1, 1);
    glDisable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, 0);
    glFlush();
    GLfloat pixel[4];
    glReadPixels(0, 0, 1, 1, GL_RGBA, GL_FLOAT, pixel);  // waits for the copy
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_RECTANGLE_ARB, 0, 0);
    fPixBuf.Download(texture);
}

plat::Ref<plat::GLTexture> CGLTexTarget::CopyPixelBufferTexture() {
    return fPixBufTexture;
}

void CGLTexTarget::BindTexture(COpenGLContext_Cca& context) {
    if (!fTexture) return;
    COpenGLScope_Cca scope(context);
    glBindTexture(fTexture->target(), fTexture->name());
}

void CGLTexTarget::UnbindTexture(COpenGLContext_Cca& context) {
    if (!fTexture) return;
    COpenGLScope_Cca scope(context);
    glBindTexture(fTexture->target(), 0);
}
