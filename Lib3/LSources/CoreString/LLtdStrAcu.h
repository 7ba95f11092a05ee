#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreString/LStrBuf.h"

// Text builder over a caller's fixed array (capacity includes the terminator). Never allocates:
// text that does not fit is cut and HasFailed() reports the overflow.
class LLtdStrAcu : public LStrBuf {
public:
    LLtdStrAcu(unsigned char* array, uint32_t capacity);
    LLtdStrAcu(char* array, uint32_t capacity)
        : LLtdStrAcu(reinterpret_cast<unsigned char*>(array), capacity) {}

    operator const unsigned char*() const override { return fArray; }
    void Reset() override;
    void Free() override { Reset(); }
    void Append(const unsigned char* bytes, uint32_t n) override;
    using LStrBuf::Append;

private:
    uint32_t fCapacity;
    unsigned char* fArray;
};
