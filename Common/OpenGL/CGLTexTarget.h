#pragma once

#include <cstdint>

#include "Common/OpenGL/COpenGLContext_Cca.h"
#include "Common/OpenGL/COpenGLFBO.h"
#include "Common/OpenGL/COpenGLTexture.h"
#include "Common/OpenGL/CPixBufTarget.h"
#include "Common/OpenGL/CRefH.h"

// The engine's mix buffer: a 2D texture behind a framebuffer object, with a copy into a pixel
// buffer (top row first) for compositions that take the mix as an image.
class CGLTexTarget {
public:
    CGLTexTarget();
    ~CGLTexTarget();
    CGLTexTarget(const CGLTexTarget&) = delete;
    CGLTexTarget& operator=(const CGLTexTarget&) = delete;

    // Makes the texture at the size and binds the framebuffer object with the viewport set.
    void Prepare(uint32_t width, uint32_t height, bool enable);
    // Flushes and restores the framebuffer binding Prepare found.
    void End();
    void Release();
    void Clear();
    void CopyToPixelBuffer();
    // The last pixel-buffer texture, or null.
    plat::Ref<plat::GLTexture> CopyPixelBufferTexture();
    void BindTexture(COpenGLContext_Cca& context);
    void UnbindTexture(COpenGLContext_Cca& context);

    COpenGLContext_Cca& context() { return fContext; }
    COpenGLTexture* texture() const { return fTexture.Get(); }
    uint32_t fbo() const { return fFBO.name(); }
    uint32_t width() const { return fWidth; }
    uint32_t height() const { return fHeight; }
    CPixBufTarget& pixBufTarget() { return fPixBuf; }

private:
    bool MakeTexture(uint32_t width, uint32_t height);

    COpenGLContext_Cca fContext;
    COpenGLFBO fFBO;
    CRefH<COpenGLTexture> fTexture;
    uint32_t fSavedBinding = 0;
    uint32_t fWidth = 0;
    uint32_t fHeight = 0;
    CPixBufTarget fPixBuf;
    plat::Ref<plat::GLTexture> fPixBufTexture;
    COpenGLFBO fCopyFBO;
    COpenGLContext_Cca fCopyContext;
};
