#pragma once

#include <cstdint>

// A fixed heap block of bytes. A size of 0, or a failed allocation, leaves it empty (null, 0).
class CHeapBuffer {
public:
    explicit CHeapBuffer(uint32_t size);
    virtual ~CHeapBuffer();

    CHeapBuffer(const CHeapBuffer&) = delete;
    CHeapBuffer& operator=(const CHeapBuffer&) = delete;

    uint32_t Size() const { return mSize; }
    uint8_t* Data() { return mData; }
    const uint8_t* Data() const { return mData; }

private:
    uint32_t mSize = 0;
    uint8_t* mData = nullptr;
};
