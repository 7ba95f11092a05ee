#include <gtest/gtest.h>

#include <string>

#include "Lib3/LSources/CoreString/LTextCache.h"

namespace {

const unsigned char* U(const std::string& s) {
    return reinterpret_cast<const unsigned char*>(s.data());
}

TEST(LTextCacheTest, ShortTextsAreSharedAndAlwaysRight) {
    LTextCache cache;
    const LString a = cache.Text(U("alpha"), 5);
    EXPECT_TRUE(cache.Text(U("alpha beta"), 5).IsSame(a));  // only the given length counts
    EXPECT_STREQ(a.CStr(), "alpha");
    // Many texts share the table's entries: whatever was replaced, each text comes back as given.
    for (int round = 0; round < 2; ++round)
        for (int i = 0; i < 3000; ++i) {
            const std::string s = "w" + std::to_string(i);
            const LString t = cache.Text(U(s), static_cast<uint32_t>(s.size()));
            ASSERT_EQ(std::string(t.CStr(), t.Length()), s);
        }
    EXPECT_STREQ(a.CStr(), "alpha");  // a string handed out outlives its entry
    const std::string nul("a\0b", 3);
    EXPECT_EQ(cache.Text(U(nul), 3).Length(), 3u);
    EXPECT_EQ(cache.Text(U(nul), 3).Text()[2], 'b');
}

TEST(LTextCacheTest, EmptyAndLongTexts) {
    LTextCache cache;
    EXPECT_TRUE(cache.Text(nullptr, 0).IsEmpty());
    EXPECT_TRUE(cache.Text(U("x"), 0).IsSame(LString()));
    const std::string long_(LTextCache::kMaxLength + 1, 'z');
    const LString a = cache.Text(U(long_), static_cast<uint32_t>(long_.size()));
    const LString b = cache.Text(U(long_), static_cast<uint32_t>(long_.size()));
    EXPECT_FALSE(a.IsSame(b));
    EXPECT_TRUE(a == b);
}

}  // namespace
