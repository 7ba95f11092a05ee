#include <gtest/gtest.h>

#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/CoreString/LVariStr.h"

namespace {

TEST(LStringTest, EveryEmptyStringSharesTheOneEmptyBlock) {
    const LString made[] = {LString(), LString(static_cast<const char*>(nullptr)), LString(""),
                            LString("abc", 0), LString(static_cast<const unsigned char*>(nullptr), 5)};
    for (const LString& s : made) {
        EXPECT_EQ(s.Data(), LString::GetNullData());
        EXPECT_STREQ(s.CStr(), "");
        EXPECT_EQ(s.Length(), 0u);
    }
}

TEST(LStringTest, EmptyBlockSurvivesEveryHandleDropping) {
    const int32_t before = LString::GetNullData()->Count();
    { LString a, b, c; }
    EXPECT_EQ(LString::GetNullData()->Count(), before);
    EXPECT_GE(before, 1);
}

TEST(LStringTest, CopiesShareAndEqualityIsByText) {
    LString a("hello");
    LString b = a;
    EXPECT_TRUE(a.IsSame(b));
    EXPECT_EQ(a.Data()->Count(), 2);

    LString c("hello");
    EXPECT_FALSE(a.IsSame(c));
    EXPECT_TRUE(a == c);
    EXPECT_TRUE(a == "hello");
    EXPECT_FALSE(a == "hell");
    EXPECT_TRUE(LString() == nullptr);
    EXPECT_FALSE(a == LString("hellO"));
}

TEST(LStringTest, LengthConstructorCopiesExactlyThoseBytes) {
    LString s("abcdef", 3);
    EXPECT_STREQ(s.CStr(), "abc");
    EXPECT_EQ(s.Length(), 3u);

    // Bytes after an embedded NUL are kept in the length.
    LString z("a\0b", 3);
    EXPECT_EQ(z.Length(), 3u);
    EXPECT_EQ(z.Text()[2], 'b');
    EXPECT_EQ(z.Text()[3], 0);
}

TEST(LStringTest, AssigningReplacesTheSharedBlock) {
    LString a("one");
    LString b = a;
    b = LString("two");
    EXPECT_STREQ(a.CStr(), "one");
    EXPECT_STREQ(b.CStr(), "two");
    EXPECT_EQ(a.Data()->Count(), 1);
    b = std::move(a);  // a copy: the source stays valid
    EXPECT_STREQ(a.CStr(), "one");
}

TEST(LStringTest, MadeFromABuilder) {
    LVariStr<64> buf;
    buf.Append("left ");
    buf.Append(LString("right"));
    LString s(buf);
    EXPECT_STREQ(s.CStr(), "left right");
    EXPECT_EQ(s.Length(), 10u);
}

}  // namespace
