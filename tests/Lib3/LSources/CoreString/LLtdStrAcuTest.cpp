#include <gtest/gtest.h>

#include <cstring>

#include "Lib3/LSources/CoreString/LLtdStrAcu.h"

namespace {

TEST(LLtdStrAcuTest, CutsAtCapacityAndFlagsOverflow) {
    char array[9];
    std::memset(array, '#', sizeof array);
    LLtdStrAcu acu(array, 8);
    EXPECT_STREQ(acu.CStr(), "");
    acu.Append("abc");
    acu.Append("defghij");  // seven bytes, four fit
    EXPECT_STREQ(acu.CStr(), "abcdefg");
    EXPECT_EQ(acu.Length(), 7u);
    EXPECT_TRUE(acu.HasFailed());
    EXPECT_EQ(array[8], '#');  // never written past the capacity

    acu.Append("z");
    EXPECT_STREQ(acu.CStr(), "abcdefg");
    acu.Free();
    EXPECT_FALSE(acu.HasFailed());
    acu.Append("xy");
    EXPECT_STREQ(acu.CStr(), "xy");
    EXPECT_FALSE(acu.HasFailed());
}

TEST(LLtdStrAcuTest, HugeLengthDoesNotWrap) {
    char source[16] = "0123456789";
    char array[6];
    LLtdStrAcu acu(array, sizeof array);
    acu.Append(source, 0xFFFFFFFFu);
    EXPECT_STREQ(acu.CStr(), "01234");
    EXPECT_TRUE(acu.HasFailed());
}

TEST(LLtdStrAcuTest, NoRoomAtAllIsNeverWritten) {
    char array[1] = {'#'};
    LLtdStrAcu acu(array, 0);
    acu.Append("a");
    EXPECT_EQ(array[0], '#');
    EXPECT_STREQ(acu.CStr(), "");
    EXPECT_TRUE(acu.HasFailed());

    LLtdStrAcu one(array, 1);
    one.Append("a");
    EXPECT_EQ(array[0], 0);
    EXPECT_TRUE(one.HasFailed());
}

}  // namespace
