#include "Platform/Graphics/BitmapContext.h"

#include <cairo.h>

#include <cstdlib>
#include <cstring>

#include "Platform/Graphics/BitmapImage.h"

namespace plat {

Ref<BitmapContext> BitmapContext::Create(int32_t width, int32_t height, PixelFormat format,
                                         ColorSpace space) {
    size_t bpr = PaddedBytesPerRow(format, width);
    if (bpr == 0 || height <= 0 || height > 32768 || width > 32768) return nullptr;
    auto* buffer = static_cast<uint8_t*>(std::calloc(static_cast<size_t>(height), bpr));
    if (!buffer) return nullptr;
    bool shadow = format != PixelFormat::kARGB32 && format != PixelFormat::kXRGB32;
    cairo_surface_t* s;
    if (shadow)
        s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    else
        s = cairo_image_surface_create_for_data(
            buffer, format == PixelFormat::kARGB32 ? CAIRO_FORMAT_ARGB32 : CAIRO_FORMAT_RGB24, width, height,
            static_cast<int>(bpr));
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(s);
        std::free(buffer);
        return nullptr;
    }
    Ref<BitmapContext> ctx = Adopt(new BitmapContext(s, buffer, width, height, format, space, bpr, shadow));
    cairo_surface_destroy(s);
    return ctx;
}

BitmapContext::BitmapContext(cairo_surface_t* surface, uint8_t* buffer, int32_t w, int32_t h,
                             PixelFormat format, ColorSpace space, size_t bytesPerRow, bool shadow)
    : DrawContext(surface),
      fBuffer(buffer),
      fWidth(w),
      fHeight(h),
      fFormat(format),
      fSpace(space),
      fBytesPerRow(bytesPerRow),
      fShadow(shadow) {}

BitmapContext::~BitmapContext() {
    // The surface may point into the buffer: the base releases it first only if we do it here.
    cairo_surface_finish(Surface());
    std::free(fBuffer);
}

void BitmapContext::Flush() {
    cairo_surface_flush(Surface());
    if (!fShadow) return;
    const uint8_t* src = cairo_image_surface_get_data(Surface());
    int stride = cairo_image_surface_get_stride(Surface());
    for (int32_t y = 0; y < fHeight; ++y)
        for (int32_t x = 0; x < fWidth; ++x) {
            uint32_t argb;
            std::memcpy(&argb, src + y * stride + x * 4, 4);
            ARGBToPixel(fFormat, argb, fBuffer + y * fBytesPerRow, x);
        }
}

const uint8_t* BitmapContext::Bytes() {
    Flush();
    return fBuffer;
}

Ref<BitmapImage> BitmapContext::CopyImage() {
    Flush();
    return BitmapImage::Create(fWidth, fHeight, fFormat, fBuffer, fBytesPerRow, fSpace);
}

uint32_t BitmapContext::PixelAt(int32_t x, int32_t y) {
    if (x < 0 || y < 0 || x >= fWidth || y >= fHeight) return 0;
    Flush();
    return PixelToARGB(fFormat, fBuffer + y * fBytesPerRow, x);
}

}  // namespace plat
