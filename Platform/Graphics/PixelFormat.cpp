#include "Platform/Graphics/PixelFormat.h"

#include <cstring>

namespace plat {

namespace {
constexpr int32_t kMaxWidth = 1 << 20;

uint8_t Expand5(uint32_t v) {
    return static_cast<uint8_t>((v << 3) | (v >> 2));
}
}  // namespace

uint32_t BytesPerPixel(PixelFormat format) {
    switch (format) {
        case PixelFormat::kGray8:
            return 1;
        case PixelFormat::kXRGB1555:
            return 2;
        case PixelFormat::kARGB32:
        case PixelFormat::kXRGB32:
            return 4;
    }
    return 4;
}

size_t PaddedBytesPerRow(PixelFormat format, int32_t width) {
    if (width <= 0 || width > kMaxWidth) return 0;
    size_t bytes = static_cast<size_t>(width) * BytesPerPixel(format);
    return (bytes + 15) & ~static_cast<size_t>(15);
}

uint32_t PixelToARGB(PixelFormat format, const uint8_t* p) {
    switch (format) {
        case PixelFormat::kGray8:
            return 0xFF000000u | (uint32_t{p[0]} << 16) | (uint32_t{p[0]} << 8) | p[0];
        case PixelFormat::kXRGB1555: {
            uint32_t w = uint32_t{p[0]} | (uint32_t{p[1]} << 8);
            return 0xFF000000u | (uint32_t{Expand5((w >> 10) & 31)} << 16) |
                   (uint32_t{Expand5((w >> 5) & 31)} << 8) | Expand5(w & 31);
        }
        case PixelFormat::kARGB32: {
            uint32_t w;
            std::memcpy(&w, p, 4);
            return w;
        }
        case PixelFormat::kXRGB32: {
            uint32_t w;
            std::memcpy(&w, p, 4);
            return w | 0xFF000000u;
        }
    }
    return 0;
}

void ARGBToPixel(PixelFormat format, uint32_t argb, uint8_t* p) {
    uint32_t r = (argb >> 16) & 255, g = (argb >> 8) & 255, b = argb & 255;
    switch (format) {
        case PixelFormat::kGray8:
            p[0] = static_cast<uint8_t>((r * 299 + g * 587 + b * 114 + 500) / 1000);
            return;
        case PixelFormat::kXRGB1555: {
            uint32_t w = ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
            p[0] = static_cast<uint8_t>(w);
            p[1] = static_cast<uint8_t>(w >> 8);
            return;
        }
        case PixelFormat::kARGB32:
            std::memcpy(p, &argb, 4);
            return;
        case PixelFormat::kXRGB32: {
            uint32_t w = argb | 0xFF000000u;
            std::memcpy(p, &w, 4);
            return;
        }
    }
}

}  // namespace plat
