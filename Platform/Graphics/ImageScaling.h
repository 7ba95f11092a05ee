#pragma once

#include <cstddef>
#include <cstdint>

#include "Platform/Foundation/Object.h"

namespace plat {

class BitmapImage;

// Bilinear resampling of 32-bit pixels (four 8-bit components in any order, premultiplied), sampled
// at pixel centres with the edges extended. The destination's size sets the scale; flipped writes the
// source's top row as the destination's last row. Plain code, any thread.
void DrawPixelsScaled(const uint8_t* src, int32_t srcWidth, int32_t srcHeight, size_t srcBytesPerRow,
                      uint8_t* dst, int32_t dstWidth, int32_t dstHeight, size_t dstBytesPerRow,
                      bool flipped = false);

// A kARGB32 image's pixels scaled into the caller's buffer of dstHeight rows of dstBytesPerRow
// (at least 4 * dstWidth). False for a null or non-32-bit image or an empty size.
[[nodiscard]] bool DrawImageScaled(const BitmapImage& image, uint8_t* dst, int32_t dstWidth,
                                   int32_t dstHeight, size_t dstBytesPerRow, bool flipped = false);

// A new image of that size, or null for an empty size, a non-32-bit image or when memory runs out.
Ref<BitmapImage> ScaleImage(const BitmapImage& image, int32_t width, int32_t height);

}  // namespace plat
