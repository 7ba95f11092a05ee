#pragma once

#include <cstdint>

#include "Common/Container/CBytes.h"
#include "Lib3/LSources/CoreString/LString.h"

// A named block of bytes (the base of a form-data part).
class CNamedData {
public:
    static constexpr uint32_t kInitialFlags = 0x02000000;

    explicit CNamedData(const LString& name = LString()) : mName(name) {}
    virtual ~CNamedData();

    CNamedData(const CNamedData&) = delete;
    CNamedData& operator=(const CNamedData&) = delete;

    const LString& Name() const { return mName; }
    void SetName(const LString& name) { mName = name; }
    CBytes& Bytes() { return mBytes; }
    const CBytes& Bytes() const { return mBytes; }
    uint32_t Flags() const { return mFlags; }
    void SetFlags(uint32_t flags) { mFlags = flags; }

private:
    LString mName;
    CBytes mBytes;
    uint32_t mFlags = kInitialFlags;
};
