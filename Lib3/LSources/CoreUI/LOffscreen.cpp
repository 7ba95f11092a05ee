#include "Lib3/LSources/CoreUI/LOffscreen.h"

#include "Platform/Graphics/BitmapContext.h"
#include "Platform/Graphics/BitmapImage.h"
#include "Platform/Graphics/Layer.h"

bool NewOffscreen(LOffscreenH& handle, int32_t width, int32_t height, uint32_t depth, bool gray,
                  uint32_t flags, const plat::DrawContext* base) {
    handle.SetData(nullptr);
    auto* buffer = new LOffscreen;
    buffer->fWidth = width;
    buffer->fHeight = height;
    if (base) {
        buffer->fLayer = plat::Layer::Create(base, width, height);
        if (buffer->fLayer) buffer->fContext = buffer->fLayer->Context();
    } else {
        plat::PixelFormat format = plat::PixelFormat::kGray8;
        bool known = true;
        if (gray) {
            switch (depth) {
                case 1:
                    format = plat::PixelFormat::kGray1;
                    break;
                case 2:
                    format = plat::PixelFormat::kGray2;
                    break;
                case 4:
                    format = plat::PixelFormat::kGray4;
                    break;
                case 8:
                    break;
                default:
                    known = false;
            }
        } else if (depth < 17)
            format = plat::PixelFormat::kXRGB1555;
        else
            format = (flags & LOffscreen::kAlpha) ? plat::PixelFormat::kARGB32 : plat::PixelFormat::kXRGB32;
        if (known)
            buffer->fBitmap = plat::BitmapContext::Create(
                width, height, format, gray ? plat::ColorSpace::kGenericGray : plat::ColorSpace::kSRGB);
        buffer->fContext = buffer->fBitmap.get();
    }
    if (!buffer->fContext) {
        delete buffer;
        return false;
    }
    handle.SetData(buffer);
    return true;
}

LOffscreen::~LOffscreen() = default;

plat::DrawContext* LOffscreen::Lock() {
    if (fLocks++ == 0) fImage = nullptr;
    return fContext;
}

void LOffscreen::Unlock() {
    if (fLocks) --fLocks;
}

plat::Ref<plat::BitmapImage> LOffscreen::GetImage() {
    if (fImage) return fImage;
    if (!fBitmap) return nullptr;
    plat::Ref<plat::BitmapImage> image = fBitmap->CopyImage();
    if (fLocks == 0) fImage = image;
    return image;
}
