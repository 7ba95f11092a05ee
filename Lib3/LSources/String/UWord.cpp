#include "Lib3/LSources/String/UWord.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "Lib3/LSources/CoreString/LStrBuf.h"
#include "Lib3/LSources/CoreString/LVariStr.h"
#include "Lib3/LSources/String/CCLocaleScope.h"

namespace {

// Bounds the text of one formatted number; "%f" of 1e308 needs 309 digits before the point.
constexpr unsigned kMaxDecimals = 100;
constexpr unsigned kMaxHexDigits = 64;

template <class... Args>
void AppendFormatted(LStrBuf& out, const char* format, Args... args) {
    char buf[512];
    int n;
    {
        CCLocaleScope c;
        n = std::snprintf(buf, sizeof buf, format, args...);
    }
    if (n < 0) return;
    out.Append(buf, static_cast<uint32_t>(std::min<int>(n, sizeof buf - 1)));
}

// "%-.*f" in the C locale, written into buf (room for any double at kMaxDecimals); the length.
// std::to_chars gives the same text as printf without the locale switch and the format parsing.
// FixedText exactly, for the values whose significand times 10^decimals fits 64 bits (every float
// at a few decimals): the scaled value is an integer shifted right, rounded half to even as printf
// rounds; the text is written from it. False for the rest.
bool ShortFixedText(char (&buf)[512], double value, unsigned decimals, uint32_t& length) {
    static constexpr uint64_t kPowers[] = {1,           10,           100,          1000,      10000,
                                           100000,      1000000,      10000000,     100000000, 1000000000,
                                           10000000000, 100000000000, 1000000000000};
    if (decimals >= sizeof kPowers / sizeof kPowers[0] || !std::isfinite(value)) return false;
    int exponent;
    const double fraction = std::frexp(std::fabs(value), &exponent);  // [0.5, 1) * 2^exponent
    auto mantissa = static_cast<uint64_t>(std::ldexp(fraction, 53));  // exact
    exponent -= 53;
    if (mantissa == 0) {
        exponent = 0;
    } else {
        const int zeros = __builtin_ctzll(mantissa);
        mantissa >>= zeros;
        exponent += zeros;
    }
    uint64_t scaled;
    if (__builtin_mul_overflow(mantissa, kPowers[decimals], &scaled)) return false;
    uint64_t q;
    if (exponent >= 0) {
        if (exponent >= 64 || (scaled >> (63 - exponent)) != 0) return false;
        q = scaled << exponent;
    } else {
        const int shift = -exponent;
        if (shift >= 64) return false;
        q = scaled >> shift;
        const uint64_t rest = scaled & ((uint64_t{1} << shift) - 1);
        const uint64_t half = uint64_t{1} << (shift - 1);
        if (rest > half || (rest == half && (q & 1))) ++q;
    }
    char digits[24];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + q % 10);
        q /= 10;
    } while (q);
    while (n <= static_cast<int>(decimals)) digits[n++] = '0';  // a digit before the point
    uint32_t k = 0;
    if (std::signbit(value)) buf[k++] = '-';
    while (n > static_cast<int>(decimals)) buf[k++] = digits[--n];
    if (decimals) {
        buf[k++] = '.';
        while (n) buf[k++] = digits[--n];
    }
    length = k;
    return true;
}

uint32_t FixedText(char (&buf)[512], double value, unsigned decimals) {
    const int precision = static_cast<int>(std::min(decimals, kMaxDecimals));
    if (uint32_t n; ShortFixedText(buf, value, static_cast<unsigned>(precision), n)) return n;
    const std::to_chars_result r =
        std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, precision);
    if (r.ec == std::errc()) return static_cast<uint32_t>(r.ptr - buf);
    int n;
    {
        CCLocaleScope c;
        n = std::snprintf(buf, sizeof buf, "%-.*f", precision, value);
    }
    return n < 0 ? 0 : static_cast<uint32_t>(std::min<int>(n, sizeof buf - 1));
}

LString Made(const LStrBuf& buf) {
    return LString(buf.Text(), buf.Length());
}

}  // namespace

LString UWord::Decimal(long value) {
    LVariStr<32> s;
    Decimal(value, s);
    return Made(s);
}

void UWord::Decimal(long value, LStrBuf& out) {
    char buf[24];
    const std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, value);
    out.Append(buf, static_cast<uint32_t>(r.ptr - buf));
}

LString UWord::UDecimal(unsigned long value) {
    LVariStr<32> s;
    UDecimal(value, s);
    return Made(s);
}

void UWord::UDecimal(unsigned long value, LStrBuf& out) {
    char buf[24];
    const std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, value);
    out.Append(buf, static_cast<uint32_t>(r.ptr - buf));
}

void UWord::Hex(LStrBuf& out, unsigned long value, bool prefix, bool upper, unsigned digits) {
    if (prefix) out.Append("0x");
    // As "%.*lx": at least `digits` digits (at most kMaxHexDigits), leading zeros.
    char buf[kMaxHexDigits + 24];
    const std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, value, 16);
    const auto n = static_cast<unsigned>(r.ptr - buf);
    for (unsigned i = n; i < std::min(digits, kMaxHexDigits); ++i) out.Append("0");
    if (upper)
        for (char* p = buf; p < r.ptr; ++p) *p = static_cast<char>(*p >= 'a' ? *p - 'a' + 'A' : *p);
    out.Append(buf, n);
}

LString UWord::Hex(unsigned long value, bool prefix, bool upper, unsigned digits) {
    // Room for the prefix and all 16 digits of a 64-bit value: nothing is ever cut.
    LVariStr<32> s;
    Hex(s, value, prefix, upper, digits);
    return Made(s);
}

void UWord::Float(double value, unsigned decimals, LStrBuf& out) {
    char buf[512];
    out.Append(buf, FixedText(buf, value, decimals));
}

LString UWord::Float(double value, unsigned decimals) {
    LVariStr<64> s;
    Float(value, decimals, s);
    return Made(s);
}

void UWord::FloatSuppress(double value, unsigned decimals, LStrBuf& out) {
    char buf[512];
    const char* text = buf;
    uint32_t n = FixedText(buf, value, std::min(decimals, 15u));
    const char* point = static_cast<const char*>(std::memchr(text, '.', n));
    if (point) {
        uint32_t cut = static_cast<uint32_t>(point - text);
        for (uint32_t i = cut + 1; i < n; ++i)
            if (text[i] != '0') cut = i + 1;
        n = cut;
        if (n == 2 && text[0] == '-' && text[1] == '0') {
            out.Append("0");
            return;
        }
    }
    out.Append(text, n);
}

LString UWord::FloatSuppress(double value, unsigned decimals) {
    LVariStr<64> s;
    FloatSuppress(value, decimals, s);
    return Made(s);
}

LString UWord::Substitute(const unsigned char* format, const unsigned char* const* texts, uint32_t count) {
    if (!format) return LString();
    LVariStr<64> s;
    for (const unsigned char* p = format; *p; ++p) {
        if (*p != '%') {
            s.Append(*p);
            continue;
        }
        unsigned char c = *++p;
        if (c == 0) break;
        if (c == '%') {
            s.Append(c);
            continue;
        }
        uint32_t index = static_cast<uint32_t>(c) - '0';
        if (index < count && texts) s.Append(texts[index]);
    }
    return Made(s);
}

void UWord::Decimal64(int64_t value, LStrBuf& out) {
    uint64_t magnitude = static_cast<uint64_t>(value);
    if (value < 0) {
        out.Append("-");
        magnitude = 0 - magnitude;
    }
    char digits[20];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude);
    while (n) out.Append(static_cast<unsigned char>(digits[--n]));
}

void UWord::Hex64(uint64_t value, uint32_t minDigits, bool upper, LStrBuf& out) {
    const char* set = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    char digits[16];
    uint32_t n = 0;
    do {
        digits[n++] = set[value & 15];
        value >>= 4;
    } while (value);
    for (uint32_t i = n; i < minDigits; ++i) out.Append("0");
    while (n) out.Append(static_cast<unsigned char>(digits[--n]));
}

void UWord::IntList(const int64_t* values, uint32_t count, LStrBuf& out) {
    for (uint32_t i = 0; i < count; ++i) AppendFormatted(out, "%ld ", static_cast<long>(values[i]));
}

void UWord::DoubleList(const double* values, uint32_t count, LStrBuf& out) {
    for (uint32_t i = 0; i < count; ++i) AppendFormatted(out, "%-g ", values[i]);
}

LString UWord::NumberedKey(const unsigned char* name, long number) {
    LVariStr<64> s;
    s.Append(name);
    Decimal(number, s);
    return Made(s);
}
