#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "Common/Internet/CBase64Decoder.h"

namespace {

std::string Decode(CBase64Decoder& d, const std::string& text, uint32_t* left = nullptr) {
    std::string out;
    uint32_t rest = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        rest = d.Feed(&text[i], 1);
        while (d.BitCount() >= 8) out.push_back(static_cast<char>(d.NextByte()));
        if (rest) break;
    }
    if (left) *left = rest;
    return out;
}

TEST(CBase64DecoderTest, DecodesByteByByte) {
    CBase64Decoder d;
    EXPECT_EQ(Decode(d, "YWI6Yw=="), "ab:c");
    EXPECT_EQ(d.PaddingBits(), 12);
    d.Reset();
    EXPECT_EQ(Decode(d, "dXNlcjpwYXNz"), "user:pass");
}

TEST(CBase64DecoderTest, StopsAtBadInput) {
    struct Case {
        const char* text;
        uint32_t left;
    };
    const Case cases[] = {{"YW=a", 1}, {"YQ===", 1}, {"YW*b", 2}, {"YWJj", 0}};
    for (const Case& c : cases) {
        CBase64Decoder d;
        EXPECT_EQ(d.Feed(c.text, static_cast<uint32_t>(std::strlen(c.text))), c.left) << c.text;
    }
}

TEST(CBase64DecoderTest, NextByteWithoutEnoughBitsGivesZero) {
    CBase64Decoder d;
    d.Feed("Y", 1);
    EXPECT_EQ(d.BitCount(), 6);
    EXPECT_EQ(d.NextByte(), 0);
    EXPECT_EQ(d.BitCount(), 6);
}

}  // namespace
