#pragma once

#include <cstdint>

// Small array of u32 values whose storage is always zero-filled past the count.
class CU32Array {
public:
    CU32Array() = default;
    ~CU32Array();

    CU32Array(const CU32Array&) = delete;
    CU32Array& operator=(const CU32Array&) = delete;

    uint32_t Count() const { return mCount; }
    uint32_t Capacity() const { return mCapacity; }
    uint32_t* Data() { return mData; }
    uint32_t& operator[](uint32_t i) { return mData[i]; }
    uint32_t operator[](uint32_t i) const { return mData[i]; }

    // Inserts at min(index, count). A full array moves to a zeroed block of count * 2 + 2 elements.
    // False only when that block cannot be allocated; the array is then unchanged.
    [[nodiscard]] bool Insert(uint32_t index, uint32_t value);

private:
    uint32_t mCount = 0;
    uint32_t mCapacity = 0;
    uint32_t* mData = nullptr;
};
