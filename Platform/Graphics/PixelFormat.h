#pragma once

#include <cstddef>
#include <cstdint>

namespace plat {

// Pixel layouts of bitmaps and images. 32-bit pixels are native-endian words 0xAARRGGBB (bytes
// B, G, R, A on little-endian machines); premultiplied alpha for kARGB32, the top byte ignored for
// kXRGB32. kXRGB1555 is a little-endian 16-bit word, 5 bits per component, top bit ignored.
enum class PixelFormat : uint8_t { kGray8, kXRGB1555, kARGB32, kXRGB32 };

uint32_t BytesPerPixel(PixelFormat format);
// Bytes of one row rounded up to a multiple of 16; 0 when width is not positive or too large.
size_t PaddedBytesPerRow(PixelFormat format, int32_t width);

// Conversions of one pixel to and from a premultiplied 0xAARRGGBB word.
uint32_t PixelToARGB(PixelFormat format, const uint8_t* pixel);
void ARGBToPixel(PixelFormat format, uint32_t argb, uint8_t* pixel);

}  // namespace plat
