#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/LVariBufferBase.h"

// UTF-8 text converted to a NUL-terminated string in the legacy encoding.
class CCString {
public:
    explicit CCString(const unsigned char* utf8);
    CCString(const CCString&) = delete;
    CCString& operator=(const CCString&) = delete;

    // Never null; "" when the conversion failed.
    const char* Text() const { return fText; }
    uint32_t Length() const { return fLength; }

private:
    LVariBuffer<unsigned char> fBytes;
    uint32_t fLength = 0;
    const char* fText = "";
};
