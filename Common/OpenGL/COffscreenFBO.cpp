#include "Common/OpenGL/COffscreenFBO.h"

#include <epoxy/gl.h>

#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Common/OpenGL/UGLError.h"
#include "Common/OpenGL/UGLQuad.h"
#include "Platform/Video/GLTextureCache.h"
#include "Platform/Video/PixelBuffer.h"

namespace {

constexpr GLsizei kSamples = 2;

// False when GL refuses storage of this size. A pooled texture that already has the size keeps its
// storage: new storage would be allocated and cleared every frame.
bool SpecifyColour(GLuint name, uint32_t width, uint32_t height) {
    UGLError::Clear();
    glBindTexture(GL_TEXTURE_RECTANGLE_ARB, name);
    GLint w = 0, h = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_RECTANGLE_ARB, 0, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_RECTANGLE_ARB, 0, GL_TEXTURE_HEIGHT, &h);
    if (w > 0 && static_cast<uint32_t>(w) == width && static_cast<uint32_t>(h) == height) {
        glBindTexture(GL_TEXTURE_RECTANGLE_ARB, 0);
        return UGLError::Ok();
    }
    // Unsized, so that the driver stores the frame in the BGRA order it is read out in (a sized
    // RGBA8 may be stored RGBA and every read swizzled).
    glTexImage2D(GL_TEXTURE_RECTANGLE_ARB, 0, GL_RGBA, static_cast<GLsizei>(width),
                 static_cast<GLsizei>(height), 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, nullptr);
    glTexParameteri(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_MAX_LEVEL, 0);
    glBindTexture(GL_TEXTURE_RECTANGLE_ARB, 0);
    return UGLError::Ok();
}

void AttachColourTexture(GLenum framebuffer, GLuint name) {
    glFramebufferTexture2DEXT(framebuffer, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_RECTANGLE_ARB, name, 0);
}

}  // namespace

COffscreenFBO::COffscreenFBO(const SOpenGLOp* op)
    : fContext(nullptr, op), fCopyContext(nullptr, nullptr), fPool(GL_TEXTURE_RECTANGLE_ARB) {
    if (!fContext.valid()) return;
    COpenGLScope_Cca scope(fContext);
    // Stays bound in the own context for the target's life.
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, fMultisampleFBO.Prepare(fContext));
    glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, fDepth.Prepare(fContext));
    glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT,
                                 fDepth.name());
}

COffscreenFBO::~COffscreenFBO() {
    if (fContext.valid()) {
        COpenGLScope_Cca scope(fContext);
        glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT, 0);
        glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_RENDERBUFFER_EXT, 0);
        glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, 0);
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    }
    fPool.Relinquish();
}

void COffscreenFBO::SetSize(uint32_t width, uint32_t height) {
    fPixBuf.SetSize(width, height);
    fWidth = width;
    fHeight = height;
    Allocate();
    fOutput = nullptr;
    fColour.Clear();
}

// Depth storage: 24 bits, else 16, else 32; only an unsupported combination moves on.
void COffscreenFBO::AttachDepth(bool multisample) {
    const GLenum formats[] = {GL_DEPTH_COMPONENT24, GL_DEPTH_COMPONENT16, GL_DEPTH_COMPONENT32};
    const GLsizei w = static_cast<GLsizei>(fWidth), h = static_cast<GLsizei>(fHeight);
    glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, fDepth.name());
    for (GLenum format : formats) {
        if (multisample) {
            glRenderbufferStorageMultisampleEXT(GL_RENDERBUFFER_EXT, kSamples, format, w, h);
        } else {
            glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, format, w, h);
        }
        glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT,
                                     fDepth.name());
        if (glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT) != GL_FRAMEBUFFER_UNSUPPORTED_EXT) break;
    }
}

void COffscreenFBO::Allocate() {
    if (fWidth == 0 || fHeight == 0 || !fContext.valid()) return;
    COpenGLScope_Cca scope(fContext);
    if (fContext.multisample()) {
        glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, fMultisampleColour.Prepare(fContext));
        glRenderbufferStorageMultisampleEXT(GL_RENDERBUFFER_EXT, kSamples, GL_RGBA,
                                            static_cast<GLsizei>(fWidth), static_cast<GLsizei>(fHeight));
        glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_RENDERBUFFER_EXT,
                                     fMultisampleColour.name());
        AttachDepth(true);
        glEnable(GL_MULTISAMPLE);
        fMultisampling = true;
        return;
    }
    glDisable(GL_MULTISAMPLE);
    fPool.magic(fWidth, fHeight);
    plat::Ref<COpenGLTexture> texture = fPool.AllocTexture(fContext);
    if (!texture) return;
    if (!SpecifyColour(texture->name(), fWidth, fHeight)) return;
    AttachColourTexture(GL_FRAMEBUFFER_EXT, texture->name());
    AttachDepth(false);
    AttachColourTexture(GL_FRAMEBUFFER_EXT, 0);
    fMultisampling = false;
}

bool COffscreenFBO::Begin() {
    fOutput = nullptr;
    if (!fContext.valid()) return false;
    COpenGLScope_Cca scope(fContext);
    fPool.magic(fWidth, fHeight);
    fColour.HoldNew(fPool.AllocTexture(fContext));
    if (!fColour) return false;
    if (!SpecifyColour(fColour->name(), fWidth, fHeight)) {
        fColour.Clear();
        return false;
    }
    if (fMultisampling) {
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, fResolveFBO.Prepare(fContext));
        AttachColourTexture(GL_FRAMEBUFFER_EXT, fColour->name());
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, fMultisampleFBO.name());
    } else {
        AttachColourTexture(GL_FRAMEBUFFER_EXT, fColour->name());
    }
    return true;
}

void COffscreenFBO::Resolve() {
    if (!fContext.valid()) return;
    COpenGLScope_Cca scope(fContext);
    if (fMultisampling) {
        const GLint w = static_cast<GLint>(fWidth), h = static_cast<GLint>(fHeight);
        glBindFramebufferEXT(GL_DRAW_FRAMEBUFFER_EXT, fResolveFBO.name());
        glBlitFramebufferEXT(0, 0, w, h, 0, 0, w, h, GL_COLOR_BUFFER_BIT, GL_NEAREST);
        AttachColourTexture(GL_DRAW_FRAMEBUFFER_EXT, 0);
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, fMultisampleFBO.name());
    } else {
        AttachColourTexture(GL_FRAMEBUFFER_EXT, 0);
    }
    glFinish();  // the copy context samples the result
}

void COffscreenFBO::DropPicture() {
    fOutput = nullptr;
    fColour.Clear();
}

plat::Ref<plat::GLTexture> COffscreenFBO::GetTexture() {
    if (fOutput) return fOutput;
    if (!fColour) return nullptr;
    plat::Ref<plat::GLTexture> texture = fPixBuf.Get();
    if (!texture || !fCopyContext.valid()) return nullptr;
    {
        COpenGLScope_Cca scope(fCopyContext);
        if (!ReadInverted(texture.get())) {
            // Drawn upside down into the texture, then brought into its buffer.
            glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, fCopyFBO.Prepare(fCopyContext));
            AttachColourTexture(GL_FRAMEBUFFER_EXT, texture->Name());
            glViewport(0, 0, static_cast<GLsizei>(fWidth), static_cast<GLsizei>(fHeight));
            glBindTexture(GL_TEXTURE_RECTANGLE_ARB, fColour->name());
            glTexParameteri(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
            glTexParameteri(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
            glEnable(GL_TEXTURE_RECTANGLE_ARB);
            UGLQuad::DrawFlipped(static_cast<float>(fWidth), static_cast<float>(fHeight));
            glDisable(GL_TEXTURE_RECTANGLE_ARB);
            glBindTexture(GL_TEXTURE_RECTANGLE_ARB, 0);
            glFlush();
            AttachColourTexture(GL_FRAMEBUFFER_EXT, 0);
            fPixBuf.Download(texture.get());
        }
    }
    fOutput = texture;
    return texture;
}

// Where the driver reads rows top first (Mesa's pack invert), the frame is read straight into the
// texture's buffer and the buffer copied into the texture: no drawing pass over the whole frame.
bool COffscreenFBO::ReadInverted(plat::GLTexture* texture) {
    static const bool invert = epoxy_has_gl_extension("GL_MESA_pack_invert");
    if (!invert) return false;
    plat::PixelBuffer* image = texture->Image();
    if (!image || static_cast<uint32_t>(image->Width()) != fWidth ||
        static_cast<uint32_t>(image->Height()) != fHeight || !image->Lock(0))
        return false;
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, fCopyFBO.Prepare(fCopyContext));
    AttachColourTexture(GL_FRAMEBUFFER_EXT, fColour->name());
    glPixelStorei(GL_PACK_INVERT_MESA, GL_TRUE);
    glPixelStorei(GL_PACK_ROW_LENGTH, static_cast<GLint>(image->BytesPerRow() / 4));
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, static_cast<GLsizei>(fWidth), static_cast<GLsizei>(fHeight), GL_BGRA,
                 GL_UNSIGNED_INT_8_8_8_8_REV, image->BaseAddress());
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glPixelStorei(GL_PACK_INVERT_MESA, GL_FALSE);
    AttachColourTexture(GL_FRAMEBUFFER_EXT, 0);
    image->Unlock(0);
    return fPixBuf.Upload(texture);
}
