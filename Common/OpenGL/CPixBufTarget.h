#pragma once

#include <cstdint>

#include "Platform/Video/GLTextureCache.h"
#include "Platform/Video/PixelBuffer.h"

// A pool of BGRA pixel buffers of one size with a texture cache on the common context: each texture
// it gives is a rectangle texture over a fresh pixel buffer.
class CPixBufTarget {
public:
    CPixBufTarget() = default;
    ~CPixBufTarget();
    CPixBufTarget(const CPixBufTarget&) = delete;
    CPixBufTarget& operator=(const CPixBufTarget&) = delete;

    void SetSize(uint32_t width, uint32_t height);
    plat::Ref<plat::GLTexture> Get() { return GetTexture(fWantedWidth, fWantedHeight); }
    // A new texture, or null (zero size, no pool, cache or memory).
    plat::Ref<plat::GLTexture> GetTexture(uint32_t width, uint32_t height);
    // Copies a texture it gave into its pixel buffer, in the caller's scope when there is one.
    bool Download(plat::GLTexture* texture);
    // Copies a texture's pixel buffer into it, the same way.
    bool Upload(plat::GLTexture* texture);

    plat::PixelBufferPool* pool() const { return fPool.get(); }
    uint32_t width() const { return fWidth; }
    uint32_t height() const { return fHeight; }

private:
    uint32_t fWidth = 0;
    uint32_t fHeight = 0;
    plat::Ref<plat::PixelBufferPool> fPool;
    plat::Ref<plat::GLTextureCache> fCache;
    uint32_t fWantedWidth = 0;
    uint32_t fWantedHeight = 0;
};
