#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/LHandleBase.h"
#include "Platform/Graphics/BitmapContext.h"
#include "Platform/Graphics/Layer.h"

namespace plat {
class BitmapContext;
class BitmapImage;
class DrawContext;
class Layer;
}  // namespace plat

// An offscreen buffer: a bitmap of its own, or a layer made to match a base context. Its image is
// cached until the buffer is locked for drawing again.
class LOffscreen : public LHandleData {
public:
    enum : uint32_t { kAlpha = 1u << 2 };

    ~LOffscreen() override;

    // The drawing context; the first lock drops the cached image.
    plat::DrawContext* Lock();
    void Unlock();
    uint32_t LockCount() const { return fLocks; }
    // Count 1 for the caller, or null (layers, empty buffers). Cached while unlocked.
    plat::Ref<plat::BitmapImage> GetImage();
    int32_t Width() const { return fWidth; }
    int32_t Height() const { return fHeight; }
    plat::DrawContext* Context() const { return fContext; }
    // The bitmap behind a bitmap buffer; null for layers.
    plat::BitmapContext* Bitmap() const { return fBitmap.get(); }

private:
    friend bool NewOffscreen(class LOffscreenH&, int32_t, int32_t, uint32_t, bool, uint32_t,
                             const plat::DrawContext*);
    LOffscreen() = default;

    int32_t fWidth = 0;
    int32_t fHeight = 0;
    plat::DrawContext* fContext = nullptr;
    plat::Ref<plat::BitmapImage> fImage;
    plat::Ref<plat::BitmapContext> fBitmap;
    plat::Ref<plat::Layer> fLayer;
    uint32_t fLocks = 0;
};

class LOffscreenH : public LHandleBase {
public:
    LOffscreenH() = default;
    LOffscreen* Get() const { return static_cast<LOffscreen*>(Data()); }
    LOffscreen* operator->() const { return Get(); }
};

// Makes a new buffer into handle (empty on failure). With a base context the buffer is a layer;
// otherwise a bitmap: grey with depth bits per pixel (1, 2, 4 or 8), 16-bit colour for depths up to 16,
// else 32-bit colour, with alpha when flags has kAlpha.
bool NewOffscreen(LOffscreenH& handle, int32_t width, int32_t height, uint32_t depth, bool gray,
                  uint32_t flags, const plat::DrawContext* base = nullptr);
