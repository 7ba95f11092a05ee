#include "Orbilume/CSources/Sound/ByteRing.h"

#include <algorithm>
#include <cstring>

template <uint32_t Size>
uint32_t BasicByteRing<Size>::Write(const uint8_t* bytes, uint32_t count) {
    const uint32_t write = fWrite.load(std::memory_order_relaxed);
    const uint32_t n = std::min(count, kSize - (write - fRead.load(std::memory_order_acquire)));
    const uint32_t at = write & kMask;
    const uint32_t first = std::min(n, kSize - at);
    std::memcpy(fData + at, bytes, first);
    std::memcpy(fData, bytes + first, n - first);
    fWrite.store(write + n, std::memory_order_release);
    return n;
}

template <uint32_t Size>
bool BasicByteRing<Size>::Read(uint8_t* out, uint32_t count) {
    const uint32_t read = fRead.load(std::memory_order_relaxed);
    if (fWrite.load(std::memory_order_acquire) - read < count) return false;
    const uint32_t at = read & kMask;
    const uint32_t first = std::min(count, kSize - at);
    std::memcpy(out, fData + at, first);
    std::memcpy(out + first, fData, count - first);
    fRead.store(read + count, std::memory_order_release);
    return true;
}

template <uint32_t Size>
void BasicByteRing<Size>::PendingSpans(const uint8_t*& first, uint32_t& firstCount, const uint8_t*& second,
                                       uint32_t& secondCount) const {
    const uint32_t read = fRead.load(std::memory_order_relaxed);
    const uint32_t held = fWrite.load(std::memory_order_acquire) - read;
    const uint32_t at = read & kMask;
    first = fData + at;
    firstCount = std::min(held, kSize - at);
    second = fData;
    secondCount = held - firstCount;
}

template class BasicByteRing<32768>;
template class BasicByteRing<262144>;
