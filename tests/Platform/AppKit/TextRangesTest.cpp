#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "Platform/AppKit/TextRanges.h"

namespace {

using plat::TextRange;

// "aé𝄞b": bytes a(1) é(2) 𝄞(4) b(1); UTF-16 units a é 𝄞(2) b.
const std::string kMixed =
    "a\xC3\xA9\xF0\x9D\x84\x9E"
    "b";

TEST(TextRangesTest, Utf16UnitsMapToBytesAndBackSnappingInsideCharacters) {
    EXPECT_EQ(plat::Utf16Length(kMixed), 5u);
    struct Case {
        size_t units;
        size_t bytes;
    };
    const Case toBytes[] = {{0, 0}, {1, 1}, {2, 3}, {3, 3}, {4, 7}, {5, 8}, {6, 8}, {SIZE_MAX, 8}};
    for (const Case& c : toBytes) EXPECT_EQ(plat::Utf8OffsetForUtf16(kMixed, c.units), c.bytes) << c.units;
    const Case toUnits[] = {{0, 0}, {1, 1}, {1, 2}, {2, 3}, {2, 5}, {2, 6}, {4, 7}, {5, 8}, {5, SIZE_MAX}};
    for (const Case& c : toUnits) EXPECT_EQ(plat::Utf16OffsetForUtf8(kMixed, c.bytes), c.units) << c.bytes;
}

TEST(TextRangesTest, RangesAreClippedWithoutOverflow) {
    struct Case {
        TextRange in;
        TextRange out;
    };
    const Case cases[] = {
        {{0, 5}, {0, 5}},
        {{2, 10}, {2, 3}},
        {{7, 1}, {5, 0}},
        {{3, SIZE_MAX}, {3, 2}},
        {{SIZE_MAX, SIZE_MAX}, {5, 0}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(plat::ClipRange(c.in, 5), c.out) << c.in.location << "+" << c.in.length;
}

TEST(TextRangesTest, OutsideTextIsCleaned) {
    struct Case {
        std::string in;
        bool singleLine;
        std::string out;
    };
    const Case cases[] = {
        {"plain", true, "plain"},
        {std::string("a\xFF"
                     "b",
                     3),
         false,
         "a\xEF\xBF\xBD"
         "b"},
        {std::string("a\0b", 3), false, "ab"},
        {"\xE2\x82", false, "\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"a\r\nb\nc\rd", true, "a b c d"},
        {"a\r\nb", false, "a\r\nb"},
        {"x\xE2\x80\xA8y", true, "x y"},
        {kMixed, true, kMixed},
    };
    for (const Case& c : cases) EXPECT_EQ(plat::SanitizeText(c.in, c.singleLine), c.out) << c.in;
}

}  // namespace
