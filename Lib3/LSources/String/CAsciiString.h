#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreString/LString.h"

// A read-only view of a text as pointer and length; never a null pointer.
class CAsciiString {
public:
    // Shares the string, which keeps the text alive.
    explicit CAsciiString(const LString& s);
    // No handle: the caller keeps the text alive. A null text is the empty text.
    explicit CAsciiString(const char* text);

    const char* Text() const { return fText; }
    uint32_t Length() const { return fLength; }

private:
    LString fString;
    const char* fText;
    uint32_t fLength;
};
