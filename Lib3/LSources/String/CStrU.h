#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreString/LString.h"

class LStrBuf;

// Conversions between plain text, four-character codes and LString.
class CStrU {
public:
    // Text in the legacy single-byte encoding (Mac Roman) to UTF-8. Null gives "".
    static LString LStringFromCString(const char* text, uint32_t length);
    static LString LStringFromCString(const char* text);
    // The bytes as they are.
    static LString LStringFromAsciiString(const char* text);

    // The code's bytes, most significant first: leading blanks skipped, a zero byte ends the text.
    static LString LStringFromFcc(uint32_t code);
    // Up to four bytes, most significant first, padded with blanks; empty or null text gives 0.
    static uint32_t FccFromString(const unsigned char* text);
    // As FccFromString, but empty or null text gives four blanks.
    static uint32_t FccFromStringOrBlanks(const unsigned char* text);

    // Start of the next UTF-8 character; stays at the terminator; null gives null.
    static const unsigned char* NextRChar(const unsigned char* text);

    // Rewrites every line end (CR, LF, CR LF, LF CR) of the text to eol.
    static void NormalizeEOL(const unsigned char* text, LStrBuf& out,
                             const unsigned char* eol = reinterpret_cast<const unsigned char*>("\n"));
    // Returns the same string, shared, when nothing changes.
    static LString NormalizeEOL(const LString& text,
                                const unsigned char* eol = reinterpret_cast<const unsigned char*>("\n"));
};
