#pragma once

#include <cstddef>
#include <cstdint>

#include "Lib3/LSources/CoreData/LHandleBase.h"

class LStrBuf;

// One allocation: header, then the text bytes and a NUL. Made with count 0.
class LStringData : public LHandleData {
public:
    uint32_t Length() const { return fLength; }
    const unsigned char* Text() const { return reinterpret_cast<const unsigned char*>(this + 1); }

    // A new block holding a copy of length bytes, or null when memory runs out.
    static LStringData* Make(const unsigned char* text, uint32_t length);

    static void* operator new(std::size_t size, uint32_t textBytes) noexcept;
    static void operator delete(void* p);
    static void operator delete(void* p, uint32_t) { operator delete(p); }

private:
    friend class LString;
    explicit LStringData(uint32_t length) : fLength(length) {}

    uint32_t fLength;
};

// Immutable shared UTF-8 text. Copies share the data; every empty string shares one static block.
// To change text, build it in an LVariStr<64> and assign a new LString.
class LString : public LHandleBase {
public:
    static constexpr uint32_t kMeasure = 0xFFFFFFFF;

    LString() : LHandleBase(GetNullData()) {}
    LString(const unsigned char* text) : LHandleBase(MakeStrDesc(text, kMeasure)) {}      // NOLINT
    LString(const char* text) : LString(reinterpret_cast<const unsigned char*>(text)) {}  // NOLINT
    LString(const unsigned char* text, uint32_t length) : LHandleBase(MakeStrDesc(text, length)) {}
    LString(const char* text, uint32_t length)
        : LString(reinterpret_cast<const unsigned char*>(text), length) {}
    explicit LString(const LStrBuf& buf);
    // Copies only: a moved-from string must stay valid text.
    LString(const LString&) = default;
    LString& operator=(const LString&) = default;

    // Never null; "" for the empty string.
    const unsigned char* Text() const { return StrData()->Text(); }
    const char* CStr() const { return reinterpret_cast<const char*>(Text()); }
    uint32_t Length() const { return StrData()->Length(); }
    bool IsEmpty() const { return Length() == 0; }

    // Text equality (UString::IsEqual).
    friend bool operator==(const LString& a, const LString& b);
    friend bool operator==(const LString& a, const char* b);

    // The shared empty block; permanent (LHandleData::MakePermanent): never counted, never freed.
    static LStringData* GetNullData();
    // Data for a constructor: kMeasure means strlen; null or zero length gives the empty block.
    static LStringData* MakeStrDesc(const unsigned char* text, uint32_t length);

private:
    const LStringData* StrData() const { return static_cast<const LStringData*>(Data()); }
};
