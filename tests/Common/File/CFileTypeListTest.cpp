#include <gtest/gtest.h>

#include "Common/File/CFileTypeList.h"

namespace {

TEST(CFileTypeListTest, ReadsFourLinesPerEntry) {
    const LString strings[] = {
        LString("OBM1\nORBL\nobm\nOrbilume show"),
        LString("TEXT\n\n*\nAll files\n"),
        LString("only\nthree\nlines"),
    };
    CFileTypeList list(strings, 3);
    ASSERT_EQ(list.Count(), 2u);
    EXPECT_EQ(list.Name(0), "obm");
    EXPECT_EQ(list.Extension(0), "Orbilume show");
    EXPECT_EQ(list.FileType(0), 0x4F424D31u);
    EXPECT_EQ(list.Creator(0), 0x4F52424Cu);
    EXPECT_EQ(list.Creator(1), 0x20202020u);  // empty text: four blanks
    EXPECT_EQ(list.Name(2), "");
    EXPECT_EQ(list.FileType(2), 0x54455854u);  // 'TEXT'
    EXPECT_EQ(list.Creator(2), 0x3F3F3F3Fu);   // '????'
}

}  // namespace
