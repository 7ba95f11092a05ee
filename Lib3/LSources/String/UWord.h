#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreString/LString.h"

class LStrBuf;

// Numbers to text, always plain ASCII in the C locale.
class UWord {
public:
    // "%ld" and "%lu".
    static LString Decimal(long value);
    static void Decimal(long value, LStrBuf& out);
    static LString UDecimal(unsigned long value);
    static void UDecimal(unsigned long value, LStrBuf& out);

    // "0x" when prefix is set, then the value in hexadecimal with at least `digits` digits
    // (leading zeros); upper selects A-F.
    static void Hex(LStrBuf& out, unsigned long value, bool prefix, bool upper, unsigned digits);
    static LString Hex(unsigned long value, bool prefix, bool upper, unsigned digits);

    // "%-.*f" with the given number of decimals.
    static LString Float(double value, unsigned decimals);
    static void Float(double value, unsigned decimals, LStrBuf& out);
    // As Float with at most 15 decimals, then trailing zeros after the point (and a bare point)
    // cut; "-0" becomes "0".
    static LString FloatSuppress(double value, unsigned decimals);
    static void FloatSuppress(double value, unsigned decimals, LStrBuf& out);

    // Copies the format, replacing %0-%9 with texts[digit] (dropped when digit >= count) and
    // %% with %; a % at the very end is dropped. A null format gives "".
    static LString Substitute(const unsigned char* format, const unsigned char* const* texts, uint32_t count);

    // Writers without the C library's formatted output (for the web server's pages).
    static void Decimal64(int64_t value, LStrBuf& out);
    // Upper or lower case hexadecimal with at least minDigits digits in all (leading zeros only up
    // to that width, whatever the value's length).
    static void Hex64(uint64_t value, uint32_t minDigits, bool upper, LStrBuf& out);

    // Number lists as stored in preferences: each value as "%ld" or "%-g" followed by a blank.
    static void IntList(const int64_t* values, uint32_t count, LStrBuf& out);
    static void DoubleList(const double* values, uint32_t count, LStrBuf& out);
    // A numbered key: name followed by the decimal number, no separator.
    static LString NumberedKey(const unsigned char* name, long number);
};
