#include <gtest/gtest.h>

#include "Lib3/LSources/String/UStrCompar.h"

namespace {

const unsigned char* U(const char* s) {
    return reinterpret_cast<const unsigned char*>(s);
}

int Sign(int v) {
    return (v > 0) - (v < 0);
}

TEST(UStrComparTest, BinaryAndPrefix) {
    struct Case {
        const char* a;
        const char* b;
        int binary;
        int first;
    } cases[] = {
        {"abc", "ab", 1, 0}, {"ab", "abc", -1, -1}, {"", "", 0, 0},      {"a", "", 1, 1},
        {"", "a", -1, -1},   {"abd", "abc", 1, 1},  {nullptr, "", 0, 0}, {"abc", "abc", 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Sign(UStrCompar::Binary(U(c.a), U(c.b))), c.binary) << c.a << " " << c.b;
        EXPECT_EQ(Sign(UStrCompar::FirstBinary(U(c.a), U(c.b))), c.first) << c.a << " " << c.b;
    }
}

TEST(UStrComparTest, CollationAndCaseInsensitiveEquality) {
    EXPECT_LT(UStrCompar::Locale(U("apple"), U("Banana")), 0);
    EXPECT_GT(UStrCompar::Locale(U("\xC3\xA9t\xC3\xA9"), U("ete")), 0);
    EXPECT_EQ(UStrCompar::Locale(nullptr, U("")), 0);
    EXPECT_TRUE(UStrCompar::NoCase(U("File"), U("fILE")));
    EXPECT_TRUE(UStrCompar::NoCase(U("\xC3\x89t\xC3\xA9"), U("\xC3\xA9T\xC3\x89")));
    EXPECT_FALSE(UStrCompar::NoCase(U("a.b"), U("ab")));  // punctuation is significant
    EXPECT_FALSE(UStrCompar::NoCase(U("e"), U("\xC3\xA9")));
}

TEST(UStrComparTest, FileNameEquality) {
    EXPECT_TRUE(UStrCompar::FsEqual(U("Report.TXT"), U("report.txt")));
    EXPECT_TRUE(UStrCompar::FsEqual(U(""), nullptr));
    EXPECT_FALSE(UStrCompar::FsEqual(U("a"), U("")));
    EXPECT_FALSE(UStrCompar::FsEqual(U("ab"), U("abc")));
    EXPECT_FALSE(UStrCompar::FsEqual(U("\xC3\xA9"), U("\xC3\x89")));  // ASCII folding only
}

}  // namespace
