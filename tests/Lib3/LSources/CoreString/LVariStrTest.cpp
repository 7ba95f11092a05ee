#include <gtest/gtest.h>

#include <string>

#include "Lib3/LSources/CoreString/LVariStr.h"

namespace {

TEST(LVariStrTest, InlineUpTo63BytesThenHeapKeepingTheText) {
    const std::string text(100, 'x');
    std::string expect;
    LVariStr<64> s;
    for (int i = 0; i < 63; ++i) {
        const unsigned char c = static_cast<unsigned char>('a' + i % 26);
        s.Append(c);
        expect += static_cast<char>(c);
    }
    EXPECT_TRUE(s.IsInline());
    EXPECT_EQ(s.Length(), 63u);
    EXPECT_EQ(s.CStr(), expect);

    s.Append('!');
    expect += '!';
    EXPECT_FALSE(s.IsInline());
    EXPECT_EQ(s.Length(), 64u);
    EXPECT_EQ(s.CStr(), expect);
    EXPECT_FALSE(s.HasFailed());

    s.Append(text.c_str());
    EXPECT_EQ(s.CStr(), expect + text);
}

TEST(LVariStrTest, SingleBulkAppendCrossingTheLimit) {
    LVariStr<64> s;
    s.Append("0123456789");
    const std::string big(200, 'q');
    s.Append(big.c_str());
    EXPECT_EQ(s.CStr(), "0123456789" + big);
}

TEST(LVariStrTest, ResetReturnsToInlineAndFreeDropsTheHeap) {
    LVariStr<64> s;
    const std::string big(300, 'z');
    s.Append(big.c_str());
    s.Reset();
    EXPECT_STREQ(s.CStr(), "");
    EXPECT_EQ(s.Length(), 0u);
    s.Append("short");
    EXPECT_TRUE(s.IsInline());
    EXPECT_STREQ(s.CStr(), "short");
    // Growing again after a Reset reuses the kept heap buffer correctly.
    s.Append(big.c_str());
    EXPECT_EQ(s.CStr(), "short" + big);
    s.Free();
    EXPECT_STREQ(s.CStr(), "");
    s.Append(big.c_str());
    EXPECT_EQ(s.CStr(), big);
}

TEST(LVariStrTest, AppendingItsOwnHeapText) {
    LVariStr<64> s;
    const std::string big(100, 'k');
    s.Append(big.c_str());
    for (int i = 0; i < 4; ++i) s.Append(s.Text(), s.Length());
    EXPECT_EQ(s.Length(), 1600u);
    EXPECT_EQ(s.CStr(), std::string(1600, 'k'));
}

TEST(LVariStrTest, LengthThatWouldWrapFailsAndKeepsTheText) {
    LVariStr<64> s;
    s.Append("abc");
    s.Append(reinterpret_cast<const unsigned char*>("xyz"), 0xFFFFFFFFu);
    EXPECT_TRUE(s.HasFailed());
    EXPECT_STREQ(s.CStr(), "abc");
    s.Reset();
    EXPECT_FALSE(s.HasFailed());
}

TEST(LVariStrTest, BaseWithoutInlineBytesUsesTheHeap) {
    LVariStrBase s;
    EXPECT_STREQ(s.CStr(), "");
    s.Append("a");
    s.Append("bc");
    EXPECT_STREQ(s.CStr(), "abc");
    LVariStr<4> tiny;
    tiny.Append("abc");
    EXPECT_TRUE(tiny.IsInline());
    tiny.Append("d");
    EXPECT_STREQ(tiny.CStr(), "abcd");
}

}  // namespace
