#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

namespace plugin {

struct PlugInTexturePoolState;

// A pooled GL texture with an atomic reference count. The last Release (from any thread, with or
// without a GL context) hands the name back to its pool and makes no GL call.
class PlugInTexture {
public:
    PlugInTexture(std::shared_ptr<PlugInTexturePoolState> pool, uint32_t name, uint32_t target,
                  uint32_t width, uint32_t height);
    PlugInTexture(const PlugInTexture&) = delete;
    PlugInTexture& operator=(const PlugInTexture&) = delete;

    uint32_t Name() const { return fName; }
    uint32_t Target() const { return fTarget; }
    uint32_t Width() const { return fWidth; }
    uint32_t Height() const { return fHeight; }

    void Retain() { fCount.fetch_add(1, std::memory_order_relaxed); }
    void Release();

private:
    ~PlugInTexture() = default;

    std::atomic<uint32_t> fCount{1};
    std::shared_ptr<PlugInTexturePoolState> fPool;
    uint32_t fName, fTarget, fWidth, fHeight;
};

// A counted handle to a texture: Hold adds a reference to the new texture before dropping the old,
// Put takes over a reference the caller owns, Prepare drops it, Take hands it to the caller.
class PlugInTextureRef {
public:
    PlugInTextureRef() = default;
    explicit PlugInTextureRef(PlugInTexture* adopted) : fTexture(adopted) {}
    ~PlugInTextureRef() { Prepare(); }
    PlugInTextureRef(PlugInTextureRef&& other) noexcept : fTexture(other.Take()) {}
    PlugInTextureRef& operator=(PlugInTextureRef&& other) noexcept {
        if (this != &other) Put(other.Take());
        return *this;
    }
    PlugInTextureRef(const PlugInTextureRef&) = delete;
    PlugInTextureRef& operator=(const PlugInTextureRef&) = delete;

    void Hold(PlugInTexture* texture) {
        if (texture) texture->Retain();
        Put(texture);
    }
    void Put(PlugInTexture* texture) {
        PlugInTexture* old = fTexture;
        fTexture = texture;
        if (old) old->Release();
    }
    void Prepare() { Put(nullptr); }
    [[nodiscard]] PlugInTexture* Take() {
        PlugInTexture* t = fTexture;
        fTexture = nullptr;
        return t;
    }
    PlugInTexture* Get() const { return fTexture; }
    explicit operator bool() const { return fTexture != nullptr; }

private:
    PlugInTexture* fTexture = nullptr;
};

}  // namespace plugin
