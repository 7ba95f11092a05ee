#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreString/LString.h"
#include "Platform/Foundation/String.h"

namespace plat {
class String;
}

// Conversions between framework text and the platform's string objects.
class CMacStrU {
public:
    // An owned platform string of UTF-8 text; the shared empty string (retained) for null or
    // invalid text.
    static plat::Ref<plat::String> CFStringFromRString(const unsigned char* text);
    // The UTF-8 bytes of a platform string; empty for null.
    static LString LStringFromCFString(const plat::String* const& s);
    // UTF-16 to UTF-8.
    static LString LStringFromUniStr(const uint16_t* units, uint32_t count);
    // A length-prefixed string: its bytes when they are valid UTF-8, else read as legacy text.
    static LString LStringFromPascal(const unsigned char* pascal);
    // UTF-8 to a length-prefixed legacy string of at most maxLength bytes (cut, never overrun).
    static void RStringToPascal(const unsigned char* text, unsigned char* pascal, unsigned char maxLength);
};
