#include <gtest/gtest.h>

#include <string>

#include "Lib3/LSources/CoreString/LVariStr.h"
#include "Lib3/LSources/String/UUtf8.h"

namespace {

bool Valid(const std::string& s) {
    return isValidUtf8(reinterpret_cast<const unsigned char*>(s.data()), static_cast<uint32_t>(s.size()));
}

TEST(UUtf8Test, ValidatesStructure) {
    struct Case {
        std::string bytes;
        bool valid;
    } cases[] = {
        {"", true},
        {"\xC3\xA9", true},
        {"\xC3", false},
        {"\xF8\x80\x80\x80", false},
        {"\xBF", false},
        {"\xE2\x82", false},
        {"\xE2\x82\xAC", true},
        {"\xC0\xAF", true},  // overlong forms pass the structural check
        {"\xF0\x9F\x98\x80", true},
        {"\xF0\x9F\x98\x41", false},
    };
    for (const Case& c : cases) EXPECT_EQ(Valid(c.bytes), c.valid) << c.bytes;
}

// Only the first 255 bytes used to be looked at; a bad byte further on must be found.
TEST(UUtf8Test, ChecksLongTextWhole) {
    std::string text(300, 'a');
    EXPECT_TRUE(Valid(text));
    text[280] = '\xFF';
    EXPECT_FALSE(Valid(text));
    std::string cut = std::string(1000, 'b') + "\xE2\x82";
    EXPECT_FALSE(Valid(cut));
}

TEST(UUtf8Test, EncodesCodePoints) {
    struct Case {
        uint32_t cp;
        bool ok;
        std::string bytes;
    } cases[] = {
        {0x41, true, "A"},
        {0xE9, true, "\xC3\xA9"},
        {0x20AC, true, "\xE2\x82\xAC"},
        {0xD800, false, ""},
        {0xDFFF, false, ""},
        {0x10FFFF, true, "\xF4\x8F\xBF\xBF"},
        {0x110000, false, ""},
        {0x1F600, true, "\xF0\x9F\x98\x80"},
    };
    for (const Case& c : cases) {
        LVariStr<64> out;
        EXPECT_EQ(UUtf8::Append(out, c.cp), c.ok) << c.cp;
        EXPECT_EQ(std::string(out.CStr(), out.Length()), c.bytes) << c.cp;
    }
}

}  // namespace
