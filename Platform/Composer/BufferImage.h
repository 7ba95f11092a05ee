#pragma once

#include <cstddef>
#include <cstdint>

#include "Platform/Composer/Image.h"

namespace plat {

class PixelBuffer;

// An image in CPU memory: 32-bit BGRA pixels, premultiplied, rows top first.
class BufferImage final : public Image {
public:
    // Called once, on whichever thread drops the last reference.
    using ReleaseFunction = void (*)(void* info, const uint8_t* data);

    // An owned reference over storage of its own, zero-filled, or null for an empty or too
    // large size. Fill it through MutableData before handing the image to anyone else.
    static Ref<BufferImage> Create(uint32_t width, uint32_t height);
    // Over the caller's bytes, which must stay unchanged until release is called.
    static Ref<BufferImage> CreateWithBytes(uint32_t width, uint32_t height, size_t bytesPerRow,
                                            const uint8_t* data, ReleaseFunction release, void* info);
    // Over a pixel buffer of Platform/Video (kept locked and alive by the image).
    static Ref<BufferImage> CreateFromPixelBuffer(PixelBuffer* buffer);

    ImageKind Kind() const override { return ImageKind::Buffer; }
    uint32_t Width() const override { return fWidth; }
    uint32_t Height() const override { return fHeight; }

    const uint8_t* Data() const { return fData; }
    size_t BytesPerRow() const { return fBytesPerRow; }
    const uint8_t* Row(uint32_t y) const { return fData + fBytesPerRow * y; }
    // Null for images over someone else's bytes.
    uint8_t* MutableData() const { return fOwned ? fOwned : nullptr; }

private:
    BufferImage(uint32_t width, uint32_t height, size_t bytesPerRow, const uint8_t* data, uint8_t* owned,
                ReleaseFunction release, void* info);
    ~BufferImage() override;

    uint32_t fWidth;
    uint32_t fHeight;
    size_t fBytesPerRow;
    const uint8_t* fData;
    uint8_t* fOwned;
    ReleaseFunction fRelease;
    void* fInfo;
};

}  // namespace plat
