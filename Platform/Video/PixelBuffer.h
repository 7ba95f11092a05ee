#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "Platform/Foundation/Object.h"

namespace plat {

constexpr uint32_t kPixelFormat32BGRA = 0x42475241;  // 'BGRA'
constexpr uint32_t kPixelBufferLockReadOnly = 1;

class PixelBufferPool;

// A CPU image of 32-bit BGRA pixels, rows top first. Retained and released from any thread; the
// base address is valid between Lock and Unlock.
class PixelBuffer final : public Object {
public:
    // An owned reference, or null for a size that is not positive, too large or not allocatable.
    static Ref<PixelBuffer> Create(int32_t width, int32_t height, uint32_t pixelFormat = kPixelFormat32BGRA);

    int32_t Width() const { return fWidth; }
    int32_t Height() const { return fHeight; }
    size_t BytesPerRow() const { return fBytesPerRow; }
    size_t DataSize() const { return fBytesPerRow * static_cast<size_t>(fHeight); }
    uint32_t PixelFormatType() const { return kPixelFormat32BGRA; }

    [[nodiscard]] bool Lock(uint32_t flags);
    void Unlock(uint32_t flags);
    // Null while not locked.
    uint8_t* BaseAddress() const { return fLocks.load() > 0 ? fData : nullptr; }
    // True once the buffer was locked for writing (its contents are defined).
    bool HasContents() const { return fWritten.load(); }

private:
    friend class PixelBufferPool;
    PixelBuffer(int32_t width, int32_t height, size_t bytesPerRow, uint8_t* data, PixelBufferPool* pool);
    ~PixelBuffer() override;

    int32_t fWidth;
    int32_t fHeight;
    size_t fBytesPerRow;
    uint8_t* fData;
    Ref<PixelBufferPool> fPool;  // takes the storage back
    std::atomic<int32_t> fLocks{0};
    std::atomic<bool> fWritten{false};
};

// Hands out pixel buffers of one size and takes their storage back when they are released.
class PixelBufferPool final : public Object {
public:
    static Ref<PixelBufferPool> Create(int32_t width, int32_t height,
                                       uint32_t pixelFormat = kPixelFormat32BGRA);

    // A new buffer, or null when storage cannot be had.
    Ref<PixelBuffer> CreatePixelBuffer();
    int32_t Width() const { return fWidth; }
    int32_t Height() const { return fHeight; }
    // Frees the storage kept for reuse.
    void Flush();
    size_t FreeCount() const;

private:
    friend class PixelBuffer;
    PixelBufferPool(int32_t width, int32_t height, size_t bytesPerRow);
    ~PixelBufferPool() override;
    void Recycle(uint8_t* data);

    int32_t fWidth;
    int32_t fHeight;
    size_t fBytesPerRow;
    mutable std::mutex fMutex;
    std::vector<uint8_t*> fFree;
};

}  // namespace plat
