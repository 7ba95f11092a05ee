#include <gtest/gtest.h>

#include <string>

#include "Common/Container/CBytes.h"

namespace {

std::string Text(const CBytes& b) {
    return std::string(reinterpret_cast<const char*>(b.Data()), b.Count());
}

TEST(CBytesTest, SetSizeGrowsWithZeroesAndCuts) {
    CBytes b;
    ASSERT_TRUE(b.Append("abc", 3));
    ASSERT_TRUE(b.SetSize(5));
    EXPECT_EQ(Text(b), std::string("abc\0\0", 5));
    ASSERT_TRUE(b.SetSize(2));
    EXPECT_EQ(Text(b), "ab");
    const uint32_t capacity = b.Capacity();
    ASSERT_TRUE(b.SetSize(0));
    EXPECT_EQ(b.Capacity(), capacity);
}

TEST(CBytesTest, PutElementsOverwritesAndExtendsLikeAStream) {
    CBytes b;
    ASSERT_TRUE(b.PutElements(0, "hello", 5));
    ASSERT_TRUE(b.PutElements(3, "p me", 4));
    EXPECT_EQ(Text(b), "help me");
    ASSERT_TRUE(b.PutElements(9, "!", 1));
    EXPECT_EQ(Text(b), std::string("help me\0\0!", 10));
    ASSERT_TRUE(b.PutElements(0, "H", 1));
    EXPECT_EQ(b.Count(), 10u);
    EXPECT_EQ(b[0], 'H');
}

}  // namespace
