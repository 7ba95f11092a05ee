#pragma once

#include <cstddef>
#include <cstdint>

// CRC-32 accumulator over the reflected polynomial 0xEDB88320. No inversion is applied: start
// with 0xFFFFFFFF and invert Value() for the usual CRC-32.
class Crc32 {
public:
    explicit Crc32(uint32_t initial = 0xFFFFFFFF);
    void Update(const void* bytes, size_t count);
    uint32_t Value() const { return fValue; }

private:
    uint32_t fValue;
};
