#include "Lib3/LSources/CoreData/LVariBufferBase.h"

#include <cstdlib>
#include <cstring>

LVariBufferBase::LVariBufferBase(void*& data, uint32_t& capacity, uint16_t elementSize,
                                 uint32_t initialCapacity)
    : mData(data), mCapacity(capacity), mElementSize(elementSize) {
    mData = nullptr;
    mCapacity = 0;
    (void)SetSize(initialCapacity, false);  // failing leaves it empty; growing later reports it
}

LVariBufferBase::~LVariBufferBase() {
    std::free(mData);
}

bool LVariBufferBase::SetSize(uint32_t n, bool keep) {
    if (n == 0) {
        std::free(mData);
        mData = nullptr;
        mCapacity = 0;
        return true;
    }
    const size_t bytes = size_t{n} * mElementSize;
    void* block;
    if (mData && (keep || mCapacity == n)) {
        block = std::realloc(mData, bytes);
        if (!block) return false;
    } else {
        block = std::malloc(bytes);
        if (!block) return false;
        std::free(mData);
    }
    mData = block;
    mCapacity = n;
    return true;
}

bool LVariBufferBase::Ready(uint32_t need, uint32_t extra, bool keep) {
    if (mCapacity >= need) return true;
    const uint64_t want = uint64_t{need} + extra;
    return SetSize(want > UINT32_MAX ? need : uint32_t(want), keep);
}

bool LVariBufferBase::Copy(const void* source, uint32_t n) {
    const auto* src = static_cast<const char*>(source);
    const auto* begin = static_cast<const char*>(mData);
    if (n && begin && src >= begin && src < begin + size_t{mCapacity} * mElementSize) {
        // Source inside our own buffer: slide it to the front, then shrink keeping it.
        std::memmove(mData, src, size_t{n} * mElementSize);
        return SetSize(n, true);
    }
    if (!SetSize(n, false)) return false;
    if (n) std::memcpy(mData, source, size_t{n} * mElementSize);
    return true;
}

void* LVariBufferBase::Detach() {
    void* block = mData;
    mData = nullptr;
    mCapacity = 0;
    return block;
}
