#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "Lib3/LSources/CoreString/LVariStr.h"
#include "Lib3/LSources/String/UWord.h"

namespace {

std::string S(const LString& s) {
    return s.CStr();
}

TEST(UWord, DecimalForms) {
    EXPECT_EQ(S(UWord::Decimal(-42)), "-42");
    EXPECT_EQ(S(UWord::Decimal(LONG_MIN)), "-9223372036854775808");
    EXPECT_EQ(S(UWord::UDecimal(ULONG_MAX)), "18446744073709551615");
    LVariStr<64> s("x=");
    UWord::Decimal(7, s);
    UWord::UDecimal(8, s);
    EXPECT_STREQ(s.CStr(), "x=78");
}

TEST(UWord, HexNeverCutsSixtyFourBitValues) {
    struct Case {
        unsigned long value;
        bool prefix, upper;
        unsigned digits;
        const char* want;
    } cases[] = {
        {255, true, true, 4, "0x00FF"},
        {255, true, true, 0, "0xFF"},
        {255, false, false, 2, "ff"},
        {10, false, false, 2, "0a"},
        {0, false, false, 0, "0"},
        {0xFFFFFFFFFFFFFFFFul, true, true, 0, "0xFFFFFFFFFFFFFFFF"},
        {0x123456789ABCDEF0ul, true, false, 16, "0x123456789abcdef0"},
        {1, false, true, 20, "00000000000000000001"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(S(UWord::Hex(c.value, c.prefix, c.upper, c.digits)), c.want);
        LVariStr<8> s;
        UWord::Hex(s, c.value, c.prefix, c.upper, c.digits);
        EXPECT_STREQ(s.CStr(), c.want);
    }
}

TEST(UWord, FloatAndSuppress) {
    struct Case {
        double value;
        unsigned decimals;
        const char* suppressed;
    } cases[] = {
        {2.5, 3, "2.5"},   {2.0, 3, "2"},     {-0.0001, 2, "0"}, {1.0, 20, "1"},
        {0.1, 20, "0.1"},  {-2.0, 0, "-2"},   {-0.2, 0, "-0"},   {1234.5678, 2, "1234.57"},
        {100.0, 3, "100"}, {-1.5, 1, "-1.5"}, {1e-20, 15, "0"},  {0.000123, 6, "0.000123"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(S(UWord::FloatSuppress(c.value, c.decimals)), c.suppressed) << c.value;
    EXPECT_EQ(S(UWord::Float(2.5, 3)), "2.500");
    EXPECT_EQ(S(UWord::Float(-1.0, 0)), "-1");
    EXPECT_EQ(S(UWord::FloatSuppress(NAN, 3)).find("nan") != std::string::npos, true);
    EXPECT_EQ(S(UWord::FloatSuppress(1e300, 2)).size(), 301u);
}

TEST(UWord, Substitute) {
    const unsigned char* texts[] = {reinterpret_cast<const unsigned char*>("zero"),
                                    reinterpret_cast<const unsigned char*>("one")};
    struct Case {
        const char* format;
        const char* want;
    } cases[] = {
        {"%1 before %0", "one before zero"},
        {"a%5b", "ab"},
        {"100%%", "100%"},
        {"end%", "end"},
        {"%/%:", ""},  // '/' - '0' wraps unsigned and selects nothing
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(S(UWord::Substitute(reinterpret_cast<const unsigned char*>(c.format), texts, 2)), c.want)
            << c.format;
    EXPECT_EQ(S(UWord::Substitute(nullptr, texts, 2)), "");
}

TEST(UWord, WritersWithoutFormattedOutput) {
    struct Case {
        int64_t value;
        const char* want;
    } decimals[] = {
        {0, "0"}, {-1, "-1"}, {INT64_MIN, "-9223372036854775808"}, {INT64_MAX, "9223372036854775807"}};
    for (const Case& c : decimals) {
        LVariStr<64> s;
        UWord::Decimal64(c.value, s);
        EXPECT_STREQ(s.CStr(), c.want);
    }
    struct HexCase {
        uint64_t value;
        uint32_t min;
        bool upper;
        const char* want;
    } hexes[] = {
        {0, 0, true, "0"},
        {0, 1, true, "0"},
        {0xAB, 4, true, "00AB"},
        {0xAB, 10, false, "00000000ab"},
        {0x123456789ABCDEF0ull, 10, true, "123456789ABCDEF0"},
        // The minimum is the whole width, also for values of more than eight digits: no zeros
        // beyond it.
        {0x123456789Aull, 10, true, "123456789A"},
        {0x123456789Aull, 12, true, "00123456789A"},
        {0x1234, 16, false, "0000000000001234"},
        {UINT64_MAX, 16, false, "ffffffffffffffff"},
    };
    for (const HexCase& c : hexes) {
        LVariStr<64> s;
        UWord::Hex64(c.value, c.min, c.upper, s);
        EXPECT_STREQ(s.CStr(), c.want) << c.min;
    }
}

TEST(UWord, NumberLists) {
    const int64_t ints[] = {1, 2};
    LVariStr<64> s;
    UWord::IntList(ints, 2, s);
    EXPECT_STREQ(s.CStr(), "1 2 ");
    const double doubles[] = {0.5, -3, 1e20};
    s.Reset();
    UWord::DoubleList(doubles, 3, s);
    EXPECT_STREQ(s.CStr(), "0.5 -3 1e+20 ");
    EXPECT_EQ(S(UWord::NumberedKey(reinterpret_cast<const unsigned char*>("col"), 12)), "col12");
}

// The formatted-output forms the writers must match byte for byte ("%-.*f", "%.*lx", "%ld").
std::string Printf(const char* format, int precision, double value) {
    char buf[600];
    std::snprintf(buf, sizeof buf, format, precision, value);
    return buf;
}

std::string SuppressedPrintf(double value, unsigned decimals) {
    std::string s = Printf("%-.*f", static_cast<int>(std::min(decimals, 15u)), value);
    const size_t point = s.find('.');
    if (point == std::string::npos) return s;
    size_t cut = point;
    for (size_t i = point + 1; i < s.size(); ++i)
        if (s[i] != '0') cut = i + 1;
    s.resize(cut);
    return s == "-0" ? "0" : s;
}

void ExpectFloatsAsPrintf(double value, unsigned decimals) {
    EXPECT_EQ(S(UWord::Float(value, decimals)),
              Printf("%-.*f", static_cast<int>(std::min(decimals, 100u)), value))
        << value << " " << decimals;
    EXPECT_EQ(S(UWord::FloatSuppress(value, decimals)), SuppressedPrintf(value, decimals))
        << value << " " << decimals;
}

TEST(UWord, FloatTextIsPrintfText) {
    const double d = std::numeric_limits<double>::denorm_min();
    const double values[] = {0.0,   -0.0,        0.5,     -0.5,  1.5,         2.5,      0.125,     0.0625,
                             1e-5,  -1e-5,       0.05,    0.005, 0.0005,      1.005,    2.675,     1e15,
                             1e16,  1e17,        1e22,    1e23,  9.5,         99.5,     0.95,      123456.789,
                             1e300, -1e308,      DBL_MAX, d,     DBL_MIN,     INFINITY, -INFINITY, NAN,
                             -NAN,  1.0f / 3.0f, 0.1f,    0.3f,  16777217.0f, 3.4e38f};
    for (double v : values)
        for (unsigned decimals : {0u, 1u, 2u, 3u, 4u, 6u, 9u, 15u, 16u, 17u, 20u, 40u, 100u, 150u})
            ExpectFloatsAsPrintf(v, decimals);
}

TEST(UWord, FloatTextIsPrintfTextForRandomValues) {
    std::mt19937_64 random(20261210);
    for (int i = 0; i < 100000; ++i) {
        double v;
        const uint64_t bits = random();
        switch (i % 4) {
            case 0:  // any bit pattern: every exponent, subnormals, infinities and NaNs
                std::memcpy(&v, &bits, sizeof v);
                break;
            case 1: {  // floats as the records store them
                const auto b32 = static_cast<uint32_t>(bits);
                float f;
                std::memcpy(&f, &b32, sizeof f);
                v = f;
                break;
            }
            case 2:  // halfway cases: short decimals of a few digits
                v = static_cast<double>(static_cast<int64_t>(bits % 2000001) - 1000000) / 1000.0;
                break;
            default:  // everyday magnitudes
                v = std::ldexp(static_cast<double>(bits >> 11) / 9007199254740992.0 - 0.5,
                               static_cast<int>(bits % 80) - 40);
                break;
        }
        ExpectFloatsAsPrintf(v, static_cast<unsigned>(random() % 24));
        if (HasFailure()) break;
    }
}

TEST(UWord, HexAndDecimalTextIsPrintfText) {
    std::mt19937_64 random(7);
    for (int i = 0; i < 20000; ++i) {
        const unsigned long value = i % 3 == 0 ? random() : random() >> (random() % 64);
        const unsigned digits = static_cast<unsigned>(random() % 70);
        const bool upper = i % 2 == 0;
        char want[128];
        if (digits == 0)
            std::snprintf(want, sizeof want, upper ? "%lX" : "%lx", value);
        else
            std::snprintf(want, sizeof want, upper ? "%.*lX" : "%.*lx",
                          static_cast<int>(std::min(digits, 64u)), value);
        EXPECT_EQ(S(UWord::Hex(value, false, upper, digits)), want) << value << " " << digits;
        std::snprintf(want, sizeof want, "%ld", static_cast<long>(value));
        EXPECT_EQ(S(UWord::Decimal(static_cast<long>(value))), want);
        std::snprintf(want, sizeof want, "%lu", value);
        EXPECT_EQ(S(UWord::UDecimal(value)), want);
        if (HasFailure()) break;
    }
}

}  // namespace
