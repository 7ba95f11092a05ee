#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "Platform/Foundation/Object.h"

namespace plat {

class GLContext;
class GLPixelFormat;
class GLTextureCache;
class PixelBuffer;

// A rectangle texture over a pixel buffer (which it keeps alive). Released from any thread: the GL
// name is deleted by the cache at its next use or Flush, with a context current.
class GLTexture final : public Object {
public:
    uint32_t Target() const;
    uint32_t Name() const { return fName; }
    PixelBuffer* Image() const { return fImage.get(); }
    // Row 0 of the texture is the pixel buffer's first (top) row.
    bool IsFlipped() const { return true; }

private:
    friend class GLTextureCache;
    GLTexture(GLTextureCache* cache, PixelBuffer* image, uint32_t name);
    ~GLTexture() override;

    Ref<GLTextureCache> fCache;
    Ref<PixelBuffer> fImage;
    uint32_t fName;
};

// Makes GL textures over pixel buffers in the share group of one context. Every call but Create and
// the release of textures needs a context of that share group current on the calling thread.
class GLTextureCache final : public Object {
public:
    static Ref<GLTextureCache> Create(GLContext* context, GLPixelFormat* format);

    // A new texture, or null without a current context or storage. The texture starts with
    // the buffer's contents when the buffer has any (else its contents are undefined). A released
    // texture of the same size lends its name and storage.
    Ref<GLTexture> CreateTexture(PixelBuffer* image);
    // Deletes the names of released textures.
    void Flush();
    // Copies the texture's pixels into its pixel buffer, top row first.
    [[nodiscard]] bool Download(GLTexture* texture);
    // Copies the pixel buffer into the texture.
    [[nodiscard]] bool Upload(GLTexture* texture);

    size_t PendingDeletes() const;

private:
    friend class GLTexture;
    GLTextureCache(GLContext* context);
    ~GLTextureCache() override;
    struct Released {
        uint32_t name;
        int32_t width, height;
    };
    void Discard(uint32_t name, int32_t width, int32_t height);
    // The name of a released texture of this size (its storage kept), or 0; the other released
    // names are deleted.
    uint32_t TakeReleased(int32_t width, int32_t height);
    void DeletePending();

    Ref<GLContext> fContext;
    mutable std::mutex fMutex;
    std::vector<Released> fPending;
};

}  // namespace plat
