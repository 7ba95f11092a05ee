#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Common/String/UUtf8Reader.h"
#include "Lib3/LSources/CoreString/LCharIn.h"

namespace {

struct Step {
    int result;
    uint32_t cp;
    bool operator==(const Step&) const = default;
};

std::vector<Step> ReadAll(const std::string& bytes) {
    LCStrCharIn in(reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<uint32_t>(bytes.size()));
    std::vector<Step> steps;
    for (;;) {
        uint32_t cp = 0;
        const int r = UUtf8Reader::Read(in, cp);
        if (r == UUtf8Reader::kExhausted) break;
        steps.push_back({r, r == UUtf8Reader::kOk ? cp : 0});
    }
    return steps;
}

TEST(UUtf8ReaderTest, Sequences) {
    const int M = UUtf8Reader::kMalformed;
    struct Case {
        const char* what;
        std::string bytes;
        std::vector<Step> expected;
    };
    const Case cases[] = {
        {"ascii", "aZ", {{0, 'a'}, {0, 'Z'}}},
        {"two, three and four bytes",
         "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80",
         {{0, 0xE9}, {0, 0x20AC}, {0, 0x1F600}}},
        {"largest code point", "\xF4\x8F\xBF\xBF", {{0, 0x10FFFF}}},
        {"above U+10FFFF", "\xF4\x90\x80\x80", {{M, 0}}},
        {"overlong two-byte slash", "\xC0\xAF", {{M, 0}}},
        {"overlong three-byte", "\xE0\x80\xAF", {{M, 0}}},
        {"overlong four-byte", "\xF0\x8F\xBF\xBF", {{M, 0}}},
        {"surrogates", "\xED\xA0\x80\xED\xBF\xBF", {{M, 0}, {M, 0}}},
        {"lone continuation and bad leads", "\x80\xF8\xFF", {{M, 0}, {M, 0}, {M, 0}}},
        {"a bad continuation is read again",
         "\xC3"
         "a",
         {{M, 0}, {0, 'a'}}},
        {"truncated at the end", "\xE2\x82", {{M, 0}}},
        // Leads that never start a valid sequence still take their continuation bytes.
        {"lead above F4 with its continuations", "\xF5\x80\x80\x80z", {{M, 0}, {0, 'z'}}},
        {"overlong C1 lead", "\xC1\xBFz", {{M, 0}, {0, 'z'}}},
    };
    for (const Case& c : cases) EXPECT_EQ(ReadAll(c.bytes), c.expected) << c.what;
}

// Every scalar value survives an encode and read; every surrogate is refused.
TEST(UUtf8ReaderTest, EveryCodePointRoundTrips) {
    for (uint32_t cp = 0; cp <= 0x10FFFF; cp += (cp < 0x3000 ? 1 : 97)) {
        std::string s;
        if (cp < 0x80) {
            s.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            s += {char(0xC0 | cp >> 6), char(0x80 | (cp & 0x3F))};
        } else if (cp < 0x10000) {
            s += {char(0xE0 | cp >> 12), char(0x80 | (cp >> 6 & 0x3F)), char(0x80 | (cp & 0x3F))};
        } else {
            s += {char(0xF0 | cp >> 18), char(0x80 | (cp >> 12 & 0x3F)), char(0x80 | (cp >> 6 & 0x3F)),
                  char(0x80 | (cp & 0x3F))};
        }
        const bool surrogate = cp >= 0xD800 && cp <= 0xDFFF;
        const std::vector<Step> expected{surrogate ? Step{UUtf8Reader::kMalformed, 0} : Step{0, cp}};
        if (cp == 0) continue;  // the byte source stops at NUL
        ASSERT_EQ(ReadAll(s), expected) << cp;
    }
}

}  // namespace
