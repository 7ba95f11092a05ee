#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "Lib3/LSources/CoreString/LCharIn.h"
#include "Lib3/LSources/CoreString/LVariStr.h"
#include "Lib3/LSources/CoreString/UCharIn.h"
#include "Lib3/LSources/String/CStrU.h"

namespace {

const unsigned char* U(const char* s) {
    return reinterpret_cast<const unsigned char*>(s);
}

TEST(CStrUTest, FourCharacterCodes) {
    EXPECT_EQ(CStrU::FccFromString(U("TEXT")), 0x54455854u);
    EXPECT_EQ(CStrU::FccFromString(U("ab")), 0x61622020u);
    EXPECT_EQ(CStrU::FccFromString(U("abcdef")), 0x61626364u);
    EXPECT_EQ(CStrU::FccFromString(U("")), 0u);
    EXPECT_EQ(CStrU::FccFromString(nullptr), 0u);
    EXPECT_EQ(CStrU::FccFromStringOrBlanks(nullptr), 0x20202020u);
    EXPECT_EQ(CStrU::FccFromStringOrBlanks(U("ab")), 0x61622020u);

    struct Case {
        uint32_t code;
        const char* text;
    } cases[] = {
        {0x54455854, "TEXT"}, {0x20206162, "ab"}, {0x61206220, "a b "}, {0x61620063, "ab"}, {0, ""},
    };
    for (const Case& c : cases) EXPECT_STREQ(CStrU::LStringFromFcc(c.code).CStr(), c.text) << c.code;
}

TEST(CStrUTest, LegacyTextBecomesUtf8) {
    // Mac Roman: 0x8E e-acute, 0xA5 bullet, 0xDB euro sign, 0xF0 the Apple logo (private use).
    const char legacy[] = "caf\x8E \xA5 \xDB \xF0";
    EXPECT_STREQ(CStrU::LStringFromCString(legacy).CStr(),
                 "caf\xC3\xA9 \xE2\x80\xA2 \xE2\x82\xAC \xEF\xA3\xBF");
    EXPECT_STREQ(CStrU::LStringFromCString(legacy, 3).CStr(), "caf");
    EXPECT_TRUE(CStrU::LStringFromCString(nullptr).IsEmpty());
    EXPECT_STREQ(CStrU::LStringFromAsciiString("a\x8E").CStr(), "a\x8E");
}

TEST(CStrUTest, NextRChar) {
    const unsigned char* text =
        U("a\xC3\xA9\xE2\x82\xAC"
          "b");
    const unsigned char* p = CStrU::NextRChar(text);
    EXPECT_EQ(p, text + 1);
    p = CStrU::NextRChar(p);
    EXPECT_EQ(p, text + 3);
    p = CStrU::NextRChar(p);
    EXPECT_EQ(p, text + 6);
    p = CStrU::NextRChar(CStrU::NextRChar(p));
    EXPECT_EQ(p, text + 7);
    EXPECT_EQ(CStrU::NextRChar(p), p);  // stays at the terminator
    EXPECT_EQ(CStrU::NextRChar(nullptr), nullptr);
}

TEST(CStrUTest, NormalizeEOL) {
    struct Case {
        const char* text;
        const char* eol;
        const char* result;
    } cases[] = {
        {"a\r\nb\rc", "\n", "a\nb\nc"},
        {"a\n\rb\n", "\r\n", "a\r\nb\r\n"},
        {"a\n\nb", "\n", "a\n\nb"},
        {"plain", "\n", "plain"},
        {"", "\n", ""},
    };
    for (const Case& c : cases) {
        LVariStr<64> out;
        CStrU::NormalizeEOL(U(c.text), out, U(c.eol));
        EXPECT_STREQ(out.CStr(), c.result) << c.text;
    }

    LString unchanged("one\ntwo\n");
    EXPECT_TRUE(CStrU::NormalizeEOL(unchanged).IsSame(unchanged));
    LString changed("one\r\ntwo");
    EXPECT_STREQ(CStrU::NormalizeEOL(changed).CStr(), "one\ntwo");
}

// Line ends made one by one with the line reader, as the rewrite is defined.
std::string LineByLine(const std::string& text, const char* eol) {
    LCStrCharIn in(U(text.c_str()), static_cast<uint32_t>(std::strlen(text.c_str())));
    LVariStr<64> out;
    UCharIn::LineRest(in, out);
    while (UCharIn::LineNext(in)) {
        out.Append(eol);
        UCharIn::LineRest(in, out);
    }
    return std::string(out.CStr(), out.Length());
}

TEST(CStrUTest, NormalizeEOLIsTheLineReadersRewrite) {
    std::mt19937 random(42);
    const char alphabet[] = {'a', 'b', '\r', '\n', '\0', ' '};
    for (int i = 0; i < 20000; ++i) {
        std::string text(random() % 12, 'a');
        for (char& c : text) c = alphabet[random() % sizeof alphabet];
        for (const char* eol : {"\n", "\r\n", ""}) {
            LVariStr<8> out;
            CStrU::NormalizeEOL(U(text.c_str()), out, U(eol));
            ASSERT_EQ(std::string(out.CStr(), out.Length()), LineByLine(text, eol));
        }
        const LString s(text.data(), static_cast<uint32_t>(text.size()));
        const LString normalized = CStrU::NormalizeEOL(s);
        ASSERT_EQ(std::string(normalized.CStr(), normalized.Length()), LineByLine(text, "\n"));
        const bool same = LineByLine(text, "\n") == text;
        EXPECT_EQ(normalized.IsSame(s), same);
    }
}

}  // namespace
