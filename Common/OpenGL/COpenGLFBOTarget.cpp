#include "Common/OpenGL/COpenGLFBOTarget.h"

#include <epoxy/gl.h>

#include "Common/OpenGL/COpenGLRequirement.h"
#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Common/OpenGL/UGLError.h"
#include "Platform/Foundation/Object.h"

COpenGLFBOTarget::COpenGLFBOTarget(uint32_t width, uint32_t height, const SOpenGLOp* op)
    : fDepthFormat(GL_DEPTH_COMPONENT16), fContext(nullptr, nullptr), fDepthWanted(op && op->depthBits) {
    if (!fContext.valid()) return;
    COpenGLRequirement packed;
    packed.extensions.Append("GL_EXT_packed_depth_stencil");
    if (packed.Test(fContext, nullptr)) fDepthFormat = GL_DEPTH_STENCIL_EXT;
    COpenGLScope_Cca scope(fContext);
    fFBO.Prepare(fContext);
    SetSize(width, height);
}

COpenGLFBOTarget::~COpenGLFBOTarget() {
    if (fContext.valid()) {
        COpenGLScope_Cca scope(fContext);
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, fFBO.name());
        glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT, 0);
        glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_RECTANGLE_ARB, 0,
                                  0);
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    }
}

void COpenGLFBOTarget::SetDrawingSlot(plat::Object* object) {
    fDrawing.reset(object);
}

void COpenGLFBOTarget::SetSize(uint32_t width, uint32_t height) {
    if ((width == fWidth && height == fHeight) || !fContext.valid()) return;
    COpenGLScope_Cca scope(fContext);
    plat::Ref<COpenGLTexture> texture = COpenGLTexture::New(fContext, GL_TEXTURE_RECTANGLE_ARB, nullptr);
    if (!texture) return;
    const GLsizei w = static_cast<GLsizei>(width), h = static_cast<GLsizei>(height);
    UGLError::Clear();
    glBindTexture(GL_TEXTURE_RECTANGLE_ARB, texture->name());
    glTexImage2D(GL_TEXTURE_RECTANGLE_ARB, 0, GL_RGBA, w, h, 0, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_MAX_LEVEL, 0);
    glBindTexture(GL_TEXTURE_RECTANGLE_ARB, 0);
    if (!UGLError::Ok()) return;  // a size GL refuses: keep the old texture and size
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, fFBO.name());
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_RECTANGLE_ARB,
                              texture->name(), 0);
    fTexture.HoldNew(std::move(texture));
    fWidth = width;
    fHeight = height;
    if (fDepthWanted) {
        glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, fDepth.Prepare(fContext));
        glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, fDepthFormat, w, h);
        glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT,
                                     fDepth.name());
        // A binding left in this context would keep the renderbuffer alive after its deletion.
        glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, 0);
    }
    glViewport(0, 0, w, h);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glFlush();
}
