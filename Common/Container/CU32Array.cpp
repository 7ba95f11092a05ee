#include "Common/Container/CU32Array.h"

#include <cstdlib>
#include <cstring>

CU32Array::~CU32Array() {
    std::free(mData);
}

bool CU32Array::Insert(uint32_t index, uint32_t value) {
    if (index > mCount) index = mCount;
    if (mCount < mCapacity) {
        std::memmove(mData + index + 1, mData + index, size_t{mCount - index} * sizeof(uint32_t));
        mData[index] = value;
        ++mCount;
        return true;
    }
    const uint64_t capacity = uint64_t{mCount} * 2 + 2;
    if (capacity > UINT32_MAX) return false;
    auto* block = static_cast<uint32_t*>(std::calloc(capacity, sizeof(uint32_t)));
    if (!block) return false;
    if (mData) {
        std::memcpy(block, mData, size_t{index} * sizeof(uint32_t));
        std::memcpy(block + index + 1, mData + index, size_t{mCount - index} * sizeof(uint32_t));
    }
    block[index] = value;
    std::free(mData);
    mData = block;
    mCapacity = uint32_t(capacity);
    ++mCount;
    return true;
}
