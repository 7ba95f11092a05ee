#include "Platform/Graphics/PixelFormat.h"

#include <cstring>

namespace plat {

namespace {
constexpr int32_t kMaxWidth = 1 << 20;

uint8_t Expand5(uint32_t v) {
    return static_cast<uint8_t>((v << 3) | (v >> 2));
}

uint32_t Grey(uint32_t v) {
    return 0xFF000000u | (v << 16) | (v << 8) | v;
}

uint32_t Luminance(uint32_t argb) {
    uint32_t r = (argb >> 16) & 255, g = (argb >> 8) & 255, b = argb & 255;
    return (r * 299 + g * 587 + b * 114 + 500) / 1000;
}

bool IsPacked(PixelFormat format) {
    return format == PixelFormat::kGray1 || format == PixelFormat::kGray2 || format == PixelFormat::kGray4;
}
}  // namespace

uint32_t BitsPerPixel(PixelFormat format) {
    switch (format) {
        case PixelFormat::kGray1:
            return 1;
        case PixelFormat::kGray2:
            return 2;
        case PixelFormat::kGray4:
            return 4;
        case PixelFormat::kGray8:
            return 8;
        case PixelFormat::kXRGB1555:
            return 16;
        case PixelFormat::kARGB32:
        case PixelFormat::kXRGB32:
            return 32;
    }
    return 32;
}

uint32_t BytesPerPixel(PixelFormat format) {
    return BitsPerPixel(format) / 8;
}

size_t RowBytes(PixelFormat format, int32_t width) {
    if (width <= 0 || width > kMaxWidth) return 0;
    return (static_cast<size_t>(width) * BitsPerPixel(format) + 7) / 8;
}

size_t PaddedBytesPerRow(PixelFormat format, int32_t width) {
    return (RowBytes(format, width) + 15) & ~static_cast<size_t>(15);
}

uint32_t PixelToARGB(PixelFormat format, const uint8_t* row, int32_t x) {
    if (!IsPacked(format)) return PixelToARGB(format, row + static_cast<size_t>(x) * BytesPerPixel(format));
    uint32_t bits = BitsPerPixel(format);
    size_t bit = static_cast<size_t>(x) * bits;
    uint32_t max = (1u << bits) - 1;
    uint32_t level = (row[bit / 8] >> (8 - bits - bit % 8)) & max;
    return Grey(level * 255 / max);
}

void ARGBToPixel(PixelFormat format, uint32_t argb, uint8_t* row, int32_t x) {
    if (!IsPacked(format)) {
        ARGBToPixel(format, argb, row + static_cast<size_t>(x) * BytesPerPixel(format));
        return;
    }
    uint32_t bits = BitsPerPixel(format);
    size_t bit = static_cast<size_t>(x) * bits;
    uint32_t max = (1u << bits) - 1;
    uint32_t level = (Luminance(argb) * max + 127) / 255;
    uint32_t shift = 8 - bits - bit % 8;
    uint8_t& byte = row[bit / 8];
    byte = static_cast<uint8_t>((byte & ~(max << shift)) | (level << shift));
}

uint32_t PixelToARGB(PixelFormat format, const uint8_t* p) {
    switch (format) {
        case PixelFormat::kGray1:
        case PixelFormat::kGray2:
        case PixelFormat::kGray4:
            return PixelToARGB(format, p, 0);
        case PixelFormat::kGray8:
            return Grey(p[0]);
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
        case PixelFormat::kGray1:
        case PixelFormat::kGray2:
        case PixelFormat::kGray4:
            ARGBToPixel(format, argb, p, 0);
            return;
        case PixelFormat::kGray8:
            p[0] = static_cast<uint8_t>(Luminance(argb));
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
