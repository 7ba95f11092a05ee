#pragma once

#include <cstddef>
#include <cstdint>

#include "Platform/Foundation/Object.h"

namespace plat {

class BitmapImage;

// Decodes JPEG files with libjpeg-turbo into premultiplied kARGB32 images (opaque): colour, greyscale
// and CMYK/YCCK (Adobe's inverted form included). Sizes are checked from the header before any pixel
// buffer exists (the PNG decoder's limits); progressive files with more scans than kMaxScans, and any
// file libjpeg only warns about (truncated or corrupt data), give no image. Plain code; any thread.
class JPEGDecoder {
public:
    static constexpr int32_t kMaxScans = 256;

    static bool HasSignature(const uint8_t* data, size_t size);
    static Ref<BitmapImage> Decode(const uint8_t* data, size_t size);
    // The EXIF orientation (1..8) of the file's first "Exif" APP1 segment; 1 without one or for a
    // malformed one. Reads the segment list only, no image data.
    static int32_t Orientation(const uint8_t* data, size_t size);
    // The orientation tag of IFD0 in the payload of an APP1 segment ("Exif\0\0" and a TIFF header);
    // 1 when absent or out of range, or when an offset points outside the payload.
    static int32_t ExifOrientation(const uint8_t* payload, size_t size);
};

}  // namespace plat
