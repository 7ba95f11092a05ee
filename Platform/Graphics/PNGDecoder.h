#pragma once

#include <cstddef>
#include <cstdint>

#include "Platform/Foundation/Object.h"

namespace plat {

class BitmapImage;

// Decodes PNG files with libpng into premultiplied 32-bit images. Chunks libpng does not interpret
// stay readable through BitmapImage::Chunks. Sizes, chunk counts and chunk lengths are bounded.
class PNGDecoder {
public:
    static constexpr int32_t kMaxSide = 16384;
    static constexpr size_t kMaxPixels = size_t{64} << 20;
    static constexpr uint32_t kMaxChunks = 64;
    static constexpr size_t kMaxChunkBytes = size_t{1} << 20;

    // A new image; null when the data is not a PNG file or breaks a bound.
    static Ref<BitmapImage> Decode(const uint8_t* data, size_t size);
    static bool HasSignature(const uint8_t* data, size_t size);
};

}  // namespace plat
