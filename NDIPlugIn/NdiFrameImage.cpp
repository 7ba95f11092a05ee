#include "NDIPlugIn/NdiFrameImage.h"

#include <cmath>
#include <cstring>

NdiFrameImage::NdiFrameImage(const uint8_t* data, size_t stride, uint32_t width, uint32_t height, bool opaque)
    : fWidth(width), fHeight(height), fPixels(size_t(width) * height * 4) {
    const size_t row = size_t(width) * 4;
    for (uint32_t y = 0; y < height; ++y) std::memcpy(&fPixels[y * row], data + y * stride, row);
    if (opaque)
        for (size_t i = 3; i < fPixels.size(); i += 4) fPixels[i] = 255;
}

bool NdiFrameImage::RenderToBuffer(void* address, size_t bytesPerRow, plat::PlugInBufferFormat format,
                                   const plat::PlugInRect& b) {
    if (format != plat::PlugInBufferFormat::BGRA8 || !address) return false;
    // The band in image coordinates (y up); rows go out top first.
    if (!(b.x >= 0) || !(b.y >= 0) || !(b.width >= 1) || !(b.height >= 1) || b.x + b.width > fWidth ||
        b.y + b.height > fHeight || b.x != std::floor(b.x) || b.y != std::floor(b.y))
        return false;
    const size_t x = size_t(b.x), w = size_t(b.width), h = size_t(b.height);
    if (bytesPerRow < w * 4) return false;
    const size_t top = fHeight - size_t(b.y) - h;
    for (size_t y = 0; y < h; ++y)
        std::memcpy(static_cast<uint8_t*>(address) + y * bytesPerRow, &fPixels[((top + y) * fWidth + x) * 4],
                    w * 4);
    return true;
}
