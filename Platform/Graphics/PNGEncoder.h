#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace plat {

class BitmapImage;

// Byte order of 32-bit premultiplied pixels in memory: A, R, G, B (as glReadPixels gives them with
// GL_BGRA and GL_UNSIGNED_INT_8_8_8_8) or B, G, R, A (kARGB32 images on little-endian machines).
enum class PixelOrder : uint8_t { kARGB, kBGRA };

// Encodes premultiplied 32-bit rows (top row first) as a PNG of straight alpha: 8-bit RGBA, or RGB
// when every pixel is opaque. Plain code over libpng; any thread.
class PNGEncoder {
public:
    // Fast enough for the main thread at 1920 x 1080 (about 30 ms): noisy frames barely deflate, so a
    // low zlib level with the Sub filter keeps most of the gain of higher levels at a fraction of the time.
    static constexpr int kZlibLevel = 2;
    static constexpr int kFilter = 0x10;  // PNG_FILTER_SUB

    // Appends nothing and returns false for an empty or oversized geometry or a libpng failure;
    // otherwise out holds the whole file.
    [[nodiscard]] static bool Encode(const uint8_t* pixels, int32_t width, int32_t height, size_t bytesPerRow,
                                     PixelOrder order, std::vector<uint8_t>& out);
    // A kARGB32 image (native word order).
    [[nodiscard]] static bool EncodeImage(const BitmapImage& image, std::vector<uint8_t>& out);
    // Encodes and saves through the atomic writer: on failure no file is left (an older one stays).
    [[nodiscard]] static bool WriteFile(const std::string& path, const uint8_t* pixels, int32_t width,
                                        int32_t height, size_t bytesPerRow, PixelOrder order);

    // The straight colour component of a premultiplied one.
    static uint8_t Unpremultiply(uint8_t component, uint8_t alpha);
};

}  // namespace plat
