#include <gtest/gtest.h>

#include <string>

#include "Platform/Foundation/String.h"
#include "Platform/Foundation/TextEncoding.h"

namespace {

TEST(TextEncodingTest, StrictUtf8Decoding) {
    struct Case {
        std::string bytes;
        bool valid;
        std::u16string units;
    } cases[] = {
        {"", true, u""},
        {"a\xC3\xA9", true, u"a\u00E9"},
        {"\xF0\x9F\x98\x80", true, u"\U0001F600"},
        {"\xEF\xBF\xBF", true, u"\uFFFF"},
        {"\xC0\xAF", false, u""},          // overlong "/"
        {"\xE0\x80\xAF", false, u""},      // overlong, three bytes
        {"\xED\xA0\x80", false, u""},      // surrogate D800
        {"\xF4\x90\x80\x80", false, u""},  // above 0x10FFFF
        {"\xC3", false, u""},              // cut short
        {"\x80", false, u""},              // lone continuation
        {"a\xF8", false, u"a"},
    };
    for (const Case& c : cases) {
        std::u16string out;
        EXPECT_EQ(plat::DecodeUtf8(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size(), out),
                  c.valid)
            << c.bytes;
        if (c.valid || !c.units.empty()) {
            EXPECT_EQ(out, c.units);
        }
    }
}

TEST(TextEncodingTest, Utf16ToUtf8ReplacesLoneSurrogates) {
    const char16_t units[] = {u'x', 0xD83D, 0xDE00, 0xDC00, u'y'};
    std::string out;
    plat::EncodeUtf8(units, 5, out);
    EXPECT_EQ(out, "x\xF0\x9F\x98\x80\xEF\xBF\xBDy");
}

TEST(TextEncodingTest, MacRomanRoundTripsEveryByte) {
    uint8_t all[256];
    for (int i = 0; i < 256; ++i) all[i] = static_cast<uint8_t>(i);
    std::u16string text;
    plat::DecodeMacRoman(all, 256, text);
    ASSERT_EQ(text.size(), 256u);
    std::string back;
    EXPECT_TRUE(plat::EncodeMacRoman(text.data(), text.size(), back));
    EXPECT_EQ(back, std::string(reinterpret_cast<const char*>(all), 256));
    EXPECT_EQ(plat::MacRomanToUnicode(0xDB), 0x20AC);  // the euro sign
    EXPECT_EQ(plat::MacRomanToUnicode(0x8E), 0x00E9);
}

TEST(TextEncodingTest, MacRomanMarksWhatItCannotHold) {
    const std::u16string text = u"a\u4E2D\U0001F600b";
    std::string out;
    EXPECT_FALSE(plat::EncodeMacRoman(text.data(), text.size(), out));
    EXPECT_EQ(out, "a??b");  // one loss byte per character, surrogate pairs included
}

TEST(TextEncodingTest, StringObjectRefusesInvalidUtf8) {
    const uint8_t bad[] = {0xED, 0xA0, 0x80};
    EXPECT_EQ(plat::String::Create(bad, 3, plat::TextEncoding::kUtf8), nullptr);
    const uint8_t good[] = {'c', 0xC3, 0xA9};
    plat::Ref<plat::String> s = plat::String::Create(good, 3, plat::TextEncoding::kUtf8);
    ASSERT_NE(s, nullptr);
    std::string roman;
    EXPECT_TRUE(s->GetBytes(plat::TextEncoding::kMacRoman, roman));
    EXPECT_EQ(roman, "c\x8E");
    s = nullptr;

    plat::Ref<plat::String> e1 = plat::String::CreateEmpty();
    plat::Ref<plat::String> e2 = plat::String::CreateEmpty();
    EXPECT_EQ(e1, e2);
    EXPECT_EQ(e1->Length(), 0u);
    e1 = nullptr;
    e2 = nullptr;
}

TEST(TextEncodingTest, InvalidUtf8BytesAreReplaced) {
    const struct {
        std::string in, out;
    } cases[] = {
        {"", ""},
        {"plain", "plain"},
        {"caf\xC3\xA9", "caf\xC3\xA9"},
        {"caf\xE9!", "caf\xEF\xBF\xBD!"},
        {"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},                    // overlong: each byte replaced
        {"\xED\xA0\x80x", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBDx"},  // surrogate
        {"\xF0\x9F\x98", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},    // cut short
    };
    for (const auto& c : cases) {
        EXPECT_EQ(plat::ValidUtf8(c.in), c.out) << c.in;
        EXPECT_EQ(plat::IsValidUtf8(c.in), c.in == c.out) << c.in;
    }
}

}  // namespace
