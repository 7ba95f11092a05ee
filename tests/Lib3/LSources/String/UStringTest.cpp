#include <gtest/gtest.h>

#include "Lib3/LSources/String/UString.h"

namespace {

TEST(UStringTest, NullCountsAsEmptyText) {
    struct Case {
        const char* a;
        const char* b;
        bool equal;
    } cases[] = {
        {nullptr, nullptr, true}, {nullptr, "", true}, {"", nullptr, true},  {"a", nullptr, false},
        {nullptr, "a", false},    {"ab", "ab", true},  {"ab", "abc", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(UString::IsEqual(c.a, c.b), c.equal);
        EXPECT_EQ(UString::IsEqual(reinterpret_cast<const unsigned char*>(c.a),
                                   reinterpret_cast<const unsigned char*>(c.b)),
                  c.equal);
    }
    EXPECT_TRUE(UString::IsEmpty(static_cast<const char*>(nullptr)));
    EXPECT_TRUE(UString::IsEmpty(""));
    EXPECT_FALSE(UString::IsEmpty(" "));
    EXPECT_EQ(UString::LengthOf(static_cast<const char*>(nullptr)), 0u);
    EXPECT_EQ(UString::LengthOf("abc"), 3u);
}

}  // namespace
