#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "Platform/Foundation/Object.h"
#include "Platform/Graphics/GraphicsTypes.h"
#include "Platform/Graphics/PixelFormat.h"

typedef struct _cairo_surface cairo_surface_t;

namespace plat {

// A chunk of a PNG file that the decoder did not interpret (for instance a cursor's "hsPT").
struct PNGChunk {
    char type[5] = {};
    std::vector<uint8_t> data;
};

// An immutable picture: its own copy of the pixels, their geometry and format, and the
// uninterpreted chunks of the file it was decoded from.
class BitmapImage : public Object {
public:
    // Copies height rows of bytesPerRow bytes; null for bad geometry or when memory runs out.
    static Ref<BitmapImage> Create(int32_t width, int32_t height, PixelFormat format, const uint8_t* pixels,
                                   size_t bytesPerRow, ColorSpace space = ColorSpace::kSRGB);
    // Takes over a malloc'd buffer of height rows of bytesPerRow (a multiple of 4 holding width
    // pixels); the buffer is freed when the image goes, or at once when the geometry is bad.
    static Ref<BitmapImage> CreateOwning(int32_t width, int32_t height, PixelFormat format, uint8_t* bytes,
                                         size_t bytesPerRow, ColorSpace space = ColorSpace::kSRGB);

    int32_t Width() const { return fWidth; }
    int32_t Height() const { return fHeight; }
    PixelFormat Format() const { return fFormat; }
    ColorSpace Space() const { return fSpace; }
    size_t BytesPerRow() const { return fBytesPerRow; }
    const uint8_t* Bytes() const { return fBytes; }
    // Premultiplied 0xAARRGGBB of one pixel; 0 outside the image.
    uint32_t PixelAt(int32_t x, int32_t y) const;

    const std::vector<PNGChunk>& Chunks() const { return fChunks; }
    // The first chunk of that four-letter type, or null.
    const PNGChunk* FindChunk(const char* type) const;

    // The pixels as a Cairo surface (made on first use, owned by the image).
    cairo_surface_t* Surface() const;

private:
    friend class PNGDecoder;
    BitmapImage() = default;
    ~BitmapImage() override;

    int32_t fWidth = 0;
    int32_t fHeight = 0;
    PixelFormat fFormat = PixelFormat::kARGB32;
    ColorSpace fSpace = ColorSpace::kSRGB;
    size_t fBytesPerRow = 0;
    uint8_t* fBytes = nullptr;
    std::vector<PNGChunk> fChunks;
    mutable cairo_surface_t* fSurface = nullptr;
};

}  // namespace plat
