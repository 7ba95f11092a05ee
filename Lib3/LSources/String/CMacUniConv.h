#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/LVariBufferBase.h"
#include "Platform/Foundation/TextEncoding.h"

// Conversions between UTF-8, UTF-16 (host order) and the legacy encoding of C strings, through the
// platform's string object. Each writes the result into `out`, sized to exactly its byte count,
// and returns that count; when the source cannot become a platform string (invalid UTF-8 or
// UTF-16) `out` is left empty and the result is 0. Characters the target cannot hold become "?".
class CMacUniConv {
public:
    explicit CMacUniConv(plat::TextEncoding legacy = plat::TextEncoding::kMacRoman) : fLegacy(legacy) {}

    // The one converter the framework uses.
    static CMacUniConv& Shared();

    plat::TextEncoding LegacyEncoding() const { return fLegacy; }

    uint32_t TextToUnicode(const unsigned char* text, uint32_t length, LVariBuffer<unsigned char>& out) const;
    uint32_t TextToUnicode(const unsigned char* text, LVariBuffer<unsigned char>& out) const;
    uint32_t UnicodeToText(const uint16_t* units, uint32_t count, LVariBuffer<unsigned char>& out) const;
    uint32_t TextToCString(const unsigned char* text, LVariBuffer<unsigned char>& out) const;
    uint32_t CStringToText(const char* text, uint32_t length, LVariBuffer<unsigned char>& out) const;
    uint32_t CStringToText(const char* text, LVariBuffer<unsigned char>& out) const;

private:
    uint32_t Convert(const void* bytes, uint32_t length, plat::TextEncoding from, plat::TextEncoding to,
                     LVariBuffer<unsigned char>& out) const;

    plat::TextEncoding fLegacy;
};
