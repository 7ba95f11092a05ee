#include <gtest/gtest.h>

#include <string>

#include "Lib3/LSources/Fs/LFsSpecList.h"

namespace {

LFsSpec Spec(const char* path) {
    return LFsSpec(LString(path));
}

std::string At(const LFsSpecList& list, uint32_t i) {
    LFsSpec out;
    return list.Get(i, &out) ? std::string(out.CStr(), out.Length()) : std::string("-");
}

TEST(LFsSpecListTest, GrowsToTwiceTheCountPlusTwo) {
    LFsSpecList list(0);
    EXPECT_EQ(list.Capacity(), 0u);
    EXPECT_TRUE(list.Append(Spec("/a")));
    EXPECT_EQ(list.Capacity(), 2u);
    EXPECT_TRUE(list.Append(Spec("/c")));
    EXPECT_EQ(list.Capacity(), 2u);
    EXPECT_TRUE(list.Insert(1, Spec("/b")));
    EXPECT_EQ(list.Capacity(), 6u);
    EXPECT_TRUE(list.Insert(99, Spec("/d")));  // past the end: appended
    EXPECT_EQ(list.Count(), 4u);
    EXPECT_EQ(At(list, 0) + At(list, 1) + At(list, 2) + At(list, 3), "/a/b/c/d");
    LFsSpecList sized(3);
    EXPECT_EQ(sized.Capacity(), 3u);
    EXPECT_EQ(sized.Count(), 0u);
}

TEST(LFsSpecListTest, RemoveAndGetStayInside) {
    LFsSpecList list(2);
    (void)list.Append(Spec("/a"));
    (void)list.Append(Spec("/b"));
    (void)list.Insert(0, Spec("/z"));
    list.Remove(5);
    EXPECT_EQ(list.Count(), 3u);
    list.Remove(0);
    EXPECT_EQ(At(list, 0) + At(list, 1), "/a/b");
    LFsSpec out(LString("/kept"));
    EXPECT_FALSE(list.Get(list.Count(), &out));
    EXPECT_STREQ(out.CStr(), "/kept");
}

}  // namespace
