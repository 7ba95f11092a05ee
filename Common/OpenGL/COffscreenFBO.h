#pragma once

#include <cstdint>

#include "Common/OpenGL/COpenGLContext_Cca.h"
#include "Common/OpenGL/COpenGLFBO.h"
#include "Common/OpenGL/COpenGLRenderbuffer.h"
#include "Common/OpenGL/COpenGLTexture.h"
#include "Common/OpenGL/COpenGLTexturePool.h"
#include "Common/OpenGL/CPixBufTarget.h"
#include "Common/OpenGL/CRefH.h"

namespace plat {
class GLTexture;
}

// An offscreen target with depth: multisampled when its pixel format asks for samples (resolved into
// pooled rectangle textures), plain otherwise; the picture is copied out as a pixel-buffer texture.
// A frame: Begin, draw (in a scope on context()), Resolve, GetTexture.
class COffscreenFBO {
public:
    explicit COffscreenFBO(const SOpenGLOp* op);
    ~COffscreenFBO();
    COffscreenFBO(const COffscreenFBO&) = delete;
    COffscreenFBO& operator=(const COffscreenFBO&) = delete;

    void SetSize(uint32_t width, uint32_t height);
    bool Begin();
    void Resolve();
    // The copy of the last frame with one reference for the caller (top row first), or null.
    plat::Ref<plat::GLTexture> GetTexture();
    // Forgets the last frame: GetTexture gives null until the next frame is resolved.
    void DropPicture();

    COpenGLContext_Cca& context() { return fContext; }
    bool multisampling() const { return fMultisampling; }
    uint32_t width() const { return fWidth; }
    uint32_t height() const { return fHeight; }
    COpenGLTexturePool& pool() { return fPool; }
    CPixBufTarget& pixBufTarget() { return fPixBuf; }

private:
    void Allocate();
    void AttachDepth(bool multisample);
    bool ReadInverted(plat::GLTexture* texture);

    COpenGLContext_Cca fContext;
    CPixBufTarget fPixBuf;
    plat::Ref<plat::GLTexture> fOutput;
    COpenGLFBO fCopyFBO;
    COpenGLContext_Cca fCopyContext;
    COpenGLFBO fMultisampleFBO;
    COpenGLFBO fResolveFBO;
    COpenGLRenderbuffer fDepth;
    COpenGLRenderbuffer fMultisampleColour;
    CRefH<COpenGLTexture> fColour;
    COpenGLTexturePool fPool;
    uint32_t fWidth = 0;
    uint32_t fHeight = 0;
    bool fMultisampling = false;
};
