#pragma once

#include <cstdint>

#include "Common/Container/CArrayBase.h"

// Byte array.
class CBytes : public CArrayBase {
public:
    explicit CBytes(uint32_t initialCapacity = 0) : CArrayBase(1, initialCapacity) {}

    uint8_t* Data() { return static_cast<uint8_t*>(CArrayBase::Data()); }
    const uint8_t* Data() const { return static_cast<const uint8_t*>(CArrayBase::Data()); }
    uint8_t& operator[](uint32_t i) { return Data()[i]; }
    uint8_t operator[](uint32_t i) const { return Data()[i]; }

    // Grows with zeroed bytes at the end or cuts the tail; false only when growing fails.
    [[nodiscard]] bool SetSize(uint32_t n);
    // Appends n bytes (zeroes when bytes is null); the buffer grows geometrically.
    [[nodiscard]] bool Append(const void* bytes, uint32_t n) { return PutElements(Count(), bytes, n); }
    [[nodiscard]] bool PutElements(uint32_t index, const void* source, uint32_t n);
};
