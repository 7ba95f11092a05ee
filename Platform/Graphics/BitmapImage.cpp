#include "Platform/Graphics/BitmapImage.h"

#include <cairo.h>

#include <cstdlib>
#include <cstring>

namespace plat {

namespace {
constexpr int32_t kMaxSide = 32768;
}

Ref<BitmapImage> BitmapImage::Create(int32_t width, int32_t height, PixelFormat format, const uint8_t* pixels,
                                     size_t bytesPerRow, ColorSpace space) {
    size_t padded = PaddedBytesPerRow(format, width);
    if (!pixels || padded == 0 || height <= 0 || height > kMaxSide || width > kMaxSide) return nullptr;
    size_t rowBytes = RowBytes(format, width);
    if (bytesPerRow < rowBytes) return nullptr;
    auto* bytes = static_cast<uint8_t*>(std::calloc(static_cast<size_t>(height), padded));
    if (!bytes) return nullptr;
    for (int32_t y = 0; y < height; ++y) std::memcpy(bytes + y * padded, pixels + y * bytesPerRow, rowBytes);
    Ref<BitmapImage> image = Adopt(new BitmapImage);
    image->fWidth = width;
    image->fHeight = height;
    image->fFormat = format;
    image->fSpace = space;
    image->fBytesPerRow = padded;
    image->fBytes = bytes;
    return image;
}

Ref<BitmapImage> BitmapImage::CreateOwning(int32_t width, int32_t height, PixelFormat format, uint8_t* bytes,
                                           size_t bytesPerRow, ColorSpace space) {
    size_t rowBytes = RowBytes(format, width);
    if (!bytes || rowBytes == 0 || height <= 0 || height > kMaxSide || width > kMaxSide ||
        bytesPerRow < rowBytes || bytesPerRow % 4 != 0) {
        std::free(bytes);
        return nullptr;
    }
    auto* image = new BitmapImage;
    image->fWidth = width;
    image->fHeight = height;
    image->fFormat = format;
    image->fSpace = space;
    image->fBytesPerRow = bytesPerRow;
    image->fBytes = bytes;
    return Adopt(image);
}

BitmapImage::~BitmapImage() {
    if (fSurface) cairo_surface_destroy(fSurface);
    std::free(fBytes);
}

uint32_t BitmapImage::PixelAt(int32_t x, int32_t y) const {
    if (x < 0 || y < 0 || x >= fWidth || y >= fHeight) return 0;
    return PixelToARGB(fFormat, fBytes + y * fBytesPerRow, x);
}

const PNGChunk* BitmapImage::FindChunk(const char* type) const {
    for (const PNGChunk& c : fChunks)
        if (std::strncmp(c.type, type, 4) == 0) return &c;
    return nullptr;
}

cairo_surface_t* BitmapImage::Surface() const {
    if (fSurface) return fSurface;
    if (fFormat == PixelFormat::kARGB32 || fFormat == PixelFormat::kXRGB32) {
        cairo_format_t cf = fFormat == PixelFormat::kARGB32 ? CAIRO_FORMAT_ARGB32 : CAIRO_FORMAT_RGB24;
        fSurface =
            cairo_image_surface_create_for_data(fBytes, cf, fWidth, fHeight, static_cast<int>(fBytesPerRow));
    } else {
        fSurface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, fWidth, fHeight);
        if (cairo_surface_status(fSurface) == CAIRO_STATUS_SUCCESS) {
            cairo_surface_flush(fSurface);
            uint8_t* out = cairo_image_surface_get_data(fSurface);
            int stride = cairo_image_surface_get_stride(fSurface);
            for (int32_t y = 0; y < fHeight; ++y)
                for (int32_t x = 0; x < fWidth; ++x) {
                    uint32_t argb = PixelAt(x, y);
                    std::memcpy(out + y * stride + x * 4, &argb, 4);
                }
            cairo_surface_mark_dirty(fSurface);
        }
    }
    return fSurface;
}

}  // namespace plat
