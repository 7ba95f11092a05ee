#include <gtest/gtest.h>

#include <string>

#include "Lib3/LSources/String/CCString.h"
#include "Lib3/LSources/String/CMacStrU.h"
#include "Lib3/LSources/String/CMacUniConv.h"
#include "Platform/Foundation/String.h"

namespace {

const unsigned char* U(const char* s) {
    return reinterpret_cast<const unsigned char*>(s);
}

std::string Bytes(const LVariBuffer<unsigned char>& b, uint32_t n) {
    return std::string(reinterpret_cast<const char*>(b.Data()), n);
}

TEST(CMacUniConvTest, ConvertsBetweenUtf8Utf16AndLegacy) {
    const CMacUniConv& conv = CMacUniConv::Shared();
    LVariBuffer<unsigned char> out;

    uint32_t n = conv.TextToUnicode(U("a\xC3\xA9"), out);
    ASSERT_EQ(n, 4u);
    EXPECT_EQ(out.Capacity(), 4u);  // sized to exactly the result
    const uint16_t* units = reinterpret_cast<const uint16_t*>(out.Data());
    EXPECT_EQ(units[0], u'a');
    EXPECT_EQ(units[1], 0xE9);

    const uint16_t euro[] = {0x20AC, u'!'};
    n = conv.UnicodeToText(euro, 2, out);
    EXPECT_EQ(Bytes(out, n), "\xE2\x82\xAC!");

    n = conv.TextToCString(U("\xE2\x82\xAC\xE4\xB8\xAD"), out);
    EXPECT_EQ(Bytes(out, n), "\xDB?");

    n = conv.CStringToText("\x8E\xDB", out);
    EXPECT_EQ(Bytes(out, n), "\xC3\xA9\xE2\x82\xAC");

    // Invalid input leaves the buffer empty.
    EXPECT_EQ(conv.TextToUnicode(U("\xC0\xAF"), out), 0u);
    EXPECT_EQ(out.Capacity(), 0u);
    const uint16_t lone[] = {0xD800};
    EXPECT_EQ(conv.UnicodeToText(lone, 1, out), 3u);  // replaced, as the platform does
}

TEST(CMacUniConvTest, PlatformStringsAndPascalStrings) {
    plat::Ref<plat::String> empty = CMacStrU::CFStringFromRString(nullptr);
    plat::Ref<plat::String> invalid = CMacStrU::CFStringFromRString(U("\xFF"));
    plat::Ref<plat::String> overlong = CMacStrU::CFStringFromRString(U("\xC0\xAF"));  // structurally fine
    EXPECT_EQ(empty->Length(), 0u);
    EXPECT_EQ(invalid, empty);
    EXPECT_EQ(overlong, empty);
    plat::Ref<plat::String> s = CMacStrU::CFStringFromRString(U("caf\xC3\xA9"));
    EXPECT_EQ(CMacStrU::LStringFromCFString(s.get()), "caf\xC3\xA9");
    EXPECT_EQ(CMacStrU::LStringFromCFString(nullptr), "");

    const unsigned char utf8Pascal[] = {3, 'a', 0xC3, 0xA9};
    const unsigned char romanPascal[] = {2, 'a', 0x8E};
    EXPECT_EQ(CMacStrU::LStringFromPascal(utf8Pascal), "a\xC3\xA9");
    EXPECT_EQ(CMacStrU::LStringFromPascal(romanPascal), "a\xC3\xA9");

    unsigned char pascal[8] = {};
    CMacStrU::RStringToPascal(U("\xC3\xA9t\xC3\xA9 long"), pascal, 4);
    EXPECT_EQ(pascal[0], 4);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(pascal + 1), 4), "\x8Et\x8E ");

    CCString c(U("\xC3\xA9"));
    EXPECT_STREQ(c.Text(), "\x8E");
    EXPECT_EQ(c.Length(), 1u);
}

}  // namespace
