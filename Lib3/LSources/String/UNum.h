#pragma once

#include <cstdint>

// Text to numbers with the C library's readers in the C locale. Null text gives 0; results are
// cut to 32 bits.
class UNum {
public:
    static int32_t ToInt(const unsigned char* text);          // strtol, base 10
    static uint32_t ToUInt(const unsigned char* text);        // strtoul, base 10
    static uint32_t ToHex(const unsigned char* text);         // strtoul, base 16
    static int32_t ToPrefixedInt(const unsigned char* text);  // strtol, base 0 (0x hex, 0 octal)
    static double ToFloat(const unsigned char* text);         // strtod
    static int32_t ToInt(const char* text) { return ToInt(reinterpret_cast<const unsigned char*>(text)); }
    static double ToFloat(const char* text) { return ToFloat(reinterpret_cast<const unsigned char*>(text)); }

    // A signed 64-bit decimal read without the C library (ParseInt64Decimal); 0 on failure.
    static int64_t ToInt64(const unsigned char* text);

    // Number lists as stored in preferences. Integers (64-bit, wrapping past that) are read one
    // at a time on the line; a "." right after one makes the following fraction be read and
    // dropped. Doubles are read one word at a time until a word does not convert. With null
    // values the numbers are counted but not stored. Results: the number of values read (at
    // most max).
    static int32_t ReadIntList(const unsigned char* text, int64_t* values, int32_t max);
    static int32_t ReadDoubleList(const unsigned char* text, double* values, int32_t max);
};
