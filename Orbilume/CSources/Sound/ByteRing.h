#pragma once

#include <atomic>
#include <cstdint>

// A byte ring of Size bytes (a power of two) with free-running 32-bit write and read counts: one
// writer thread and one reader thread, each owning its count. ByteRing.cpp instantiates the sizes in
// use.
template <uint32_t Size>
class BasicByteRing {
public:
    static_assert(Size >= 2 && (Size & (Size - 1)) == 0);
    static constexpr uint32_t kSize = Size;
    static constexpr uint32_t kMask = kSize - 1;

    uint32_t Available() const {
        return fWrite.load(std::memory_order_acquire) - fRead.load(std::memory_order_acquire);
    }
    uint32_t Free() const { return kSize - Available(); }

    // Writer: copies min(count, free space) bytes in (in at most two pieces); returns that count.
    uint32_t Write(const uint8_t* bytes, uint32_t count);
    // Reader: copies exactly `count` bytes out, or nothing and false when fewer are held.
    [[nodiscard]] bool Read(uint8_t* out, uint32_t count);
    // Reader: the held bytes as up to two spans (the second empty unless they wrap).
    void PendingSpans(const uint8_t*& first, uint32_t& firstCount, const uint8_t*& second,
                      uint32_t& secondCount) const;
    // Neither thread may run.
    void Clear() {
        fWrite.store(0, std::memory_order_relaxed);
        fRead.store(0, std::memory_order_relaxed);
    }

private:
    std::atomic<uint32_t> fWrite{0};
    std::atomic<uint32_t> fRead{0};
    uint8_t fData[kSize] = {};
};

// 32 KiB: the loopback capture's.
using ByteRing = BasicByteRing<32768>;
// 256 KiB: the movie recorder's sound.
using MovieByteRing = BasicByteRing<262144>;
