#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/LVariBufferBase.h"
#include "Lib3/LSources/CoreString/LStrBuf.h"

// Growing text builder. Text of length < the inline capacity lives in inline bytes owned by the
// derived LVariStr<N>; longer text lives on the heap. The base alone has no inline bytes.
class LVariStrBase : public LStrBuf {
public:
    LVariStrBase() : LVariStrBase(nullptr, 0) {}

    operator const unsigned char*() const override;
    void Reset() override;
    void Free() override;
    void Append(const unsigned char* bytes, uint32_t n) override;
    using LStrBuf::Append;

    bool IsInline() const { return fLength < fInlineCapacity; }

protected:
    LVariStrBase(unsigned char* inlineBytes, uint32_t inlineCapacity)
        : fInline(inlineBytes), fInlineCapacity(inlineCapacity) {}

private:
    LVariBuffer<unsigned char> fHeap;
    unsigned char* fInline;
    uint32_t fInlineCapacity;
};

// The standard stack builder: LVariStr<64> allocates only once its text reaches 64 bytes.
template <uint32_t N>
class LVariStr : public LVariStrBase {
    static_assert(N > 0);

public:
    LVariStr() : LVariStrBase(fBytes, N) {}
    explicit LVariStr(const char* text) : LVariStr() { Append(text); }

private:
    unsigned char fBytes[N];
};
