#include "Platform/Foundation/FileIO.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <fcntl.h>
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
    // A FIFO without a writer is refused at once instead of blocking the reader.
    ASSERT_EQ(0, ::mkfifo(dir.File("fifo").c_str(), 0600));
    EXPECT_EQ(plat::ReadFileResult::kError, plat::ReadWholeFile(dir.File("fifo"), 10, out));
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

TEST(FileIO, WritesAtAnOffsetWithoutMovingTheFilePosition) {
    testsupport::TempDir dir;
    dir.Write("f", "0123456789");
    const int fd = ::open(dir.File("f").c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    size_t written = 99;
    EXPECT_TRUE(plat::WriteAllAt(fd, "abc", 3, 4, &written));
    EXPECT_EQ(3u, written);
    EXPECT_EQ(0, ::lseek(fd, 0, SEEK_CUR));
    EXPECT_TRUE(plat::WriteAllAt(fd, "XY", 2, 12));  // past the end: the gap reads as zeros
    ::close(fd);
    EXPECT_EQ(std::string("0123abc789\0\0XY", 14), dir.Read("f"));
    // A read-only descriptor takes nothing.
    const int ro = ::open(dir.File("f").c_str(), O_RDONLY | O_CLOEXEC);
    written = 99;
    EXPECT_FALSE(plat::WriteAllAt(ro, "z", 1, 0, &written));
    EXPECT_EQ(0u, written);
    ::close(ro);
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
