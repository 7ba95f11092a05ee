#pragma once

#include <cstddef>
#include <cstdint>

namespace plat {

// Pixel layouts of bitmaps and images. 32-bit pixels are native-endian words 0xAARRGGBB (bytes
// B, G, R, A on little-endian machines); premultiplied alpha for kARGB32, the top byte ignored for
// kXRGB32. kXRGB1555 is a little-endian 16-bit word, 5 bits per component, top bit ignored.
// kGray1, kGray2 and kGray4 pack 8, 4 or 2 grey levels into a byte, the leftmost pixel in the most
// significant bits.
enum class PixelFormat : uint8_t { kGray8, kXRGB1555, kARGB32, kXRGB32, kGray1, kGray2, kGray4 };

uint32_t BitsPerPixel(PixelFormat format);
// Whole bytes of one pixel; 0 for the packed grey formats, whose pixels share bytes.
uint32_t BytesPerPixel(PixelFormat format);
// Bytes holding width pixels, (width * bits + 7) / 8; 0 when width is not positive or too large.
size_t RowBytes(PixelFormat format, int32_t width);
// Bytes of one row rounded up to a multiple of 16; 0 when width is not positive or too large.
size_t PaddedBytesPerRow(PixelFormat format, int32_t width);

// Conversions of one pixel to and from a premultiplied 0xAARRGGBB word. Grey levels are the
// luminance of the colour, rounded to the nearest level the depth has.
uint32_t PixelToARGB(PixelFormat format, const uint8_t* row, int32_t x);
void ARGBToPixel(PixelFormat format, uint32_t argb, uint8_t* row, int32_t x);
// The same for the pixel at a byte address (for packed formats, the byte's leftmost pixel).
uint32_t PixelToARGB(PixelFormat format, const uint8_t* pixel);
void ARGBToPixel(PixelFormat format, uint32_t argb, uint8_t* pixel);

}  // namespace plat
