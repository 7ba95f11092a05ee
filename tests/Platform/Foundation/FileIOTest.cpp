#include "Platform/Foundation/FileIO.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/TempDir.h"

namespace {

mode_t ModeOf(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

}  // namespace

TEST(FileIO, ReadsWholeFilesWithinTheLimit) {
    testsupport::TempDir dir;
    dir.Write("a", std::string(100000, 'x'));
    std::string out = "old";
    EXPECT_EQ(plat::ReadFileResult::kOk, plat::ReadWholeFile(dir.File("a"), 100000, out));
    EXPECT_EQ(100000u, out.size());
    EXPECT_EQ(plat::ReadFileResult::kTooLarge, plat::ReadWholeFile(dir.File("a"), 99999, out));
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(plat::ReadFileResult::kNotFound, plat::ReadWholeFile(dir.File("none"), 10, out));
    EXPECT_EQ(plat::ReadFileResult::kError, plat::ReadWholeFile(dir.Path(), 10, out));
    dir.Write("empty", "");
    EXPECT_EQ(plat::ReadFileResult::kOk, plat::ReadWholeFile(dir.File("empty"), 0, out));
}

TEST(FileIO, AtomicWriteReplacesAndSetsTheMode) {
    testsupport::TempDir dir;
    const std::string path = dir.File("doc");
    ASSERT_TRUE(plat::WriteFileAtomically(path, "one", 3, {.mode = 0600}));
    EXPECT_EQ("one", dir.Read("doc"));
    EXPECT_EQ(0600u, ModeOf(path));
    ASSERT_EQ(0, ::chmod(path.c_str(), 0640));
    ASSERT_TRUE(plat::WriteFileAtomically(path, "two!", 4, {.mode = 0600, .keepExistingMode = true}));
    EXPECT_EQ("two!", dir.Read("doc"));
    EXPECT_EQ(0640u, ModeOf(path));
    ASSERT_TRUE(plat::WriteFileAtomically(path, "3", 1, {.mode = 0644}));
    EXPECT_EQ(0644u, ModeOf(path));
}

TEST(FileIO, FailedWriteKeepsThePreviousFileAndLeavesNoTemporary) {
    testsupport::TempDir dir;
    const std::string path = dir.File("doc");
    ASSERT_TRUE(plat::WriteFileAtomically(path, "keep", 4));
    // A folder in the way of the rename makes the write fail after the temporary was written.
    const std::string blocked = dir.File("sub");
    ASSERT_EQ(0, ::mkdir(blocked.c_str(), 0700));
    ASSERT_TRUE(plat::WriteFileAtomically(blocked + "/x", "y", 1));
    EXPECT_FALSE(plat::WriteFileAtomically(blocked, "new", 3));
    EXPECT_EQ("keep", dir.Read("doc"));
    EXPECT_FALSE(plat::WriteFileAtomically(dir.File("missing/doc"), "z", 1));
    ASSERT_TRUE(plat::WriteFileAtomically(dir.File("made/deep/doc"), "z", 1, {.makeFolders = true}));
    EXPECT_EQ(0700u, ModeOf(dir.File("made")));
    // Only the files written remain: no temporary left behind.
    int entries = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.Path())) entries += e.path().filename() != "";
    EXPECT_EQ(3, entries);  // doc, sub, made
}
