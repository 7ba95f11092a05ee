#pragma once

#include <cstddef>
#include <cstdint>

#include "Platform/Graphics/BitmapImage.h"
#include "Platform/Graphics/DrawContext.h"
#include "Platform/Graphics/PixelFormat.h"

namespace plat {

// A drawing context over a pixel buffer of its own, rows padded to 16 bytes. 32-bit formats are
// drawn in place; grey (of any depth) and 16-bit buffers are drawn through a 32-bit shadow and
// converted into the buffer by Flush (which Bytes and CopyImage call).
class BitmapContext : public DrawContext {
public:
    // Null for a bad size or when memory runs out. The buffer starts cleared (transparent black).
    static Ref<BitmapContext> Create(int32_t width, int32_t height, PixelFormat format,
                                     ColorSpace space = ColorSpace::kSRGB);

    PixelFormat Format() const { return fFormat; }
    ColorSpace Space() const { return fSpace; }
    size_t BytesPerRow() const { return fBytesPerRow; }
    // The buffer with every drawing so far.
    const uint8_t* Bytes();
    void Flush();
    // A new image over a copy of the buffer.
    Ref<BitmapImage> CopyImage();
    uint32_t PixelAt(int32_t x, int32_t y) override;

private:
    BitmapContext(cairo_surface_t* surface, uint8_t* buffer, int32_t w, int32_t h, PixelFormat format,
                  ColorSpace space, size_t bytesPerRow, bool shadow);
    ~BitmapContext() override;

    uint8_t* fBuffer;
    int32_t fWidth;
    int32_t fHeight;
    PixelFormat fFormat;
    ColorSpace fSpace;
    size_t fBytesPerRow;
    bool fShadow;
};

}  // namespace plat
