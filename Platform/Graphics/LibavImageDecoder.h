#pragma once

#include <cstddef>
#include <cstdint>

#include "Platform/Foundation/Object.h"

namespace plat {

class BitmapImage;
enum class ImageFileType : uint8_t;

// The first frame of a GIF, BMP, TIFF, WebP or TGA file through libavcodec's image decoders
// (max_pixels set from the PNG decoder's limits, one thread), converted by libswscale and
// premultiplied. Null for other types and damaged or oversized files.
class LibavImageDecoder {
public:
    static Ref<BitmapImage> Decode(ImageFileType type, const uint8_t* data, size_t size);
    // Whether a GIF file holds its first image whole (blocks walked, bounded by the size).
    static bool GIFHasCompleteImage(const uint8_t* data, size_t size);
};

}  // namespace plat
