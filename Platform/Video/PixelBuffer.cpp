#include "Platform/Video/PixelBuffer.h"

#include <cstdlib>
#include <cstring>

namespace plat {

namespace {

constexpr int32_t kMaxSide = 16384;
constexpr size_t kRowAlignment = 64;
constexpr size_t kMaxKept = 8;

bool RowBytes(int32_t width, int32_t height, uint32_t pixelFormat, size_t* bytesPerRow) {
    if (pixelFormat != kPixelFormat32BGRA) return false;
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return false;
    size_t row = static_cast<size_t>(width) * 4;
    *bytesPerRow = (row + kRowAlignment - 1) / kRowAlignment * kRowAlignment;
    return true;
}

uint8_t* Allocate(size_t bytesPerRow, int32_t height) {
    size_t size = bytesPerRow * static_cast<size_t>(height);
    void* data = std::aligned_alloc(kRowAlignment, size);
    if (data) std::memset(data, 0, size);
    return static_cast<uint8_t*>(data);
}

}  // namespace

Ref<PixelBuffer> PixelBuffer::Create(int32_t width, int32_t height, uint32_t pixelFormat) {
    size_t bytesPerRow = 0;
    if (!RowBytes(width, height, pixelFormat, &bytesPerRow)) return nullptr;
    uint8_t* data = Allocate(bytesPerRow, height);
    if (!data) return nullptr;
    return Adopt(new PixelBuffer(width, height, bytesPerRow, data, nullptr));
}

PixelBuffer::PixelBuffer(int32_t width, int32_t height, size_t bytesPerRow, uint8_t* data,
                         PixelBufferPool* pool)
    : fWidth(width), fHeight(height), fBytesPerRow(bytesPerRow), fData(data), fPool(pool) {}

PixelBuffer::~PixelBuffer() {
    if (fPool)
        fPool->Recycle(fData);
    else
        std::free(fData);
}

bool PixelBuffer::Lock(uint32_t flags) {
    fLocks.fetch_add(1);
    if (!(flags & kPixelBufferLockReadOnly)) fWritten.store(true);
    return true;
}

void PixelBuffer::Unlock(uint32_t) {
    int32_t expected = fLocks.load();
    while (expected > 0 && !fLocks.compare_exchange_weak(expected, expected - 1)) {
    }
}

Ref<PixelBufferPool> PixelBufferPool::Create(int32_t width, int32_t height, uint32_t pixelFormat) {
    size_t bytesPerRow = 0;
    if (!RowBytes(width, height, pixelFormat, &bytesPerRow)) return nullptr;
    return Adopt(new PixelBufferPool(width, height, bytesPerRow));
}

PixelBufferPool::PixelBufferPool(int32_t width, int32_t height, size_t bytesPerRow)
    : fWidth(width), fHeight(height), fBytesPerRow(bytesPerRow) {}

PixelBufferPool::~PixelBufferPool() {
    Flush();
}

Ref<PixelBuffer> PixelBufferPool::CreatePixelBuffer() {
    uint8_t* data = nullptr;
    {
        std::lock_guard<std::mutex> lock(fMutex);
        if (!fFree.empty()) {
            data = fFree.back();
            fFree.pop_back();
        }
    }
    if (!data) data = Allocate(fBytesPerRow, fHeight);
    if (!data) return nullptr;
    return Adopt(new PixelBuffer(fWidth, fHeight, fBytesPerRow, data, this));
}

void PixelBufferPool::Recycle(uint8_t* data) {
    {
        std::lock_guard<std::mutex> lock(fMutex);
        if (fFree.size() < kMaxKept) {
            fFree.push_back(data);
            return;
        }
    }
    std::free(data);
}

void PixelBufferPool::Flush() {
    std::vector<uint8_t*> kept;
    {
        std::lock_guard<std::mutex> lock(fMutex);
        kept.swap(fFree);
    }
    for (uint8_t* data : kept) std::free(data);
}

size_t PixelBufferPool::FreeCount() const {
    std::lock_guard<std::mutex> lock(fMutex);
    return fFree.size();
}

}  // namespace plat
