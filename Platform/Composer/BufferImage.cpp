#include "Platform/Composer/BufferImage.h"

#include <cstdlib>

#include "Platform/Video/PixelBuffer.h"

namespace plat {

namespace {

constexpr uint64_t kMaxBytes = uint64_t{1} << 31;

void ReleasePixelBuffer(void* info, const uint8_t*) {
    Ref<PixelBuffer> buffer = Adopt(static_cast<PixelBuffer*>(info));  // the image's reference
    buffer->Unlock(kPixelBufferLockReadOnly);
}

}  // namespace

Ref<BufferImage> BufferImage::Create(uint32_t width, uint32_t height) {
    uint64_t bytes = uint64_t{width} * height * 4;
    if (!width || !height || bytes > kMaxBytes) return nullptr;
    auto* data = static_cast<uint8_t*>(std::calloc(bytes, 1));
    if (!data) return nullptr;
    return Adopt(new BufferImage(width, height, size_t{width} * 4, data, data, nullptr, nullptr));
}

Ref<BufferImage> BufferImage::CreateWithBytes(uint32_t width, uint32_t height, size_t bytesPerRow,
                                              const uint8_t* data, ReleaseFunction release, void* info) {
    if (!width || !height || !data || bytesPerRow < size_t{width} * 4) return nullptr;
    return Adopt(new BufferImage(width, height, bytesPerRow, data, nullptr, release, info));
}

Ref<BufferImage> BufferImage::CreateFromPixelBuffer(PixelBuffer* buffer) {
    if (!buffer || !buffer->Lock(kPixelBufferLockReadOnly)) return nullptr;
    PixelBuffer* kept = RetainRef(buffer).release();  // handed to ReleasePixelBuffer
    Ref<BufferImage> image =
        CreateWithBytes(static_cast<uint32_t>(buffer->Width()), static_cast<uint32_t>(buffer->Height()),
                        buffer->BytesPerRow(), buffer->BaseAddress(), &ReleasePixelBuffer, kept);
    if (!image) ReleasePixelBuffer(kept, nullptr);
    return image;
}

BufferImage::BufferImage(uint32_t width, uint32_t height, size_t bytesPerRow, const uint8_t* data,
                         uint8_t* owned, ReleaseFunction release, void* info)
    : fWidth(width),
      fHeight(height),
      fBytesPerRow(bytesPerRow),
      fData(data),
      fOwned(owned),
      fRelease(release),
      fInfo(info) {}

BufferImage::~BufferImage() {
    if (fRelease) fRelease(fInfo, fData);
    std::free(fOwned);
}

}  // namespace plat
