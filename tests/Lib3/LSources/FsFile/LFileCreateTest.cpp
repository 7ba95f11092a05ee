#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Lib3/LSources/FsFile/LFileCreate.h"
#include "Lib3/LSources/FsFile/LFsDeleteS.h"
#include "Lib3/LSources/FsFile/LFsOwnedFile.h"
#include "tests/support/SpecTempDir.h"

namespace {

bool Exists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

class FileOpsTest : public ::testing::Test {
protected:
    testsupport::SpecTempDir fDir;
};

TEST_F(FileOpsTest, NumberedCreationSkipsTakenNames) {
    fDir.Write("report.txt", "1");
    fDir.Write("report2.txt", "2");
    LFileCreate create(fDir.Child("report.txt"), LFileCreate::kNumbered);
    EXPECT_EQ(create.Status(), 0u);
    EXPECT_EQ(create.Spec(), fDir.Child("report3.txt"));
    EXPECT_TRUE(Exists(fDir.File("report3.txt")));
    EXPECT_EQ(fDir.Read("report.txt"), "1");  // nothing existing is touched
}

TEST_F(FileOpsTest, CreationModes) {
    LFsSpec spec = fDir.Child("a b.txt");
    EXPECT_EQ(LFileCreate(spec, LFileCreate::kFailIfExists).Status(), 0u);
    EXPECT_TRUE(Exists(fDir.File("a b.txt")));
    EXPECT_EQ(LFileCreate(spec, LFileCreate::kFailIfExists).Status(), 3u);
    LFileCreate existing(spec, LFileCreate::kUseExisting);
    EXPECT_EQ(existing.Status(), 0u);
    EXPECT_EQ(existing.Spec(), spec);

    mkdir(fDir.File("folder").c_str(), 0755);
    EXPECT_EQ(LFileCreate(fDir.Child("folder"), LFileCreate::kUseExisting).Status(), 3u);
    EXPECT_EQ(LFileCreate(LFsDescendS(fDir.Child("missing"), "x").Spec(), 0).Status(), 2u);
    EXPECT_EQ(LFileCreate(LFsSpec(LString("file:///NoSuchVolume/x")), 0).Status(), 2u);
}

// An item that exists but cannot be looked up used to count as a usable file.
TEST_F(FileOpsTest, UsingAnItemThatCannotBeLookedUpFails) {
    ASSERT_EQ(symlink(fDir.File("gone").c_str(), fDir.File("dangling").c_str()), 0);
    LFileCreate create(fDir.Child("dangling"), LFileCreate::kUseExisting);
    EXPECT_NE(create.Status(), 0u);
    EXPECT_FALSE(Exists(fDir.File("gone")));
}

TEST_F(FileOpsTest, DeletingFilesButNotFolders) {
    fDir.Write("f", "x");
    mkdir(fDir.File("d").c_str(), 0755);
    EXPECT_EQ(LFsDeleteS(fDir.Child("d")).Status(), 1u);
    EXPECT_TRUE(Exists(fDir.File("d")));
    EXPECT_EQ(LFsDeleteS(fDir.Child("missing")).Status(), 2u);
    EXPECT_EQ(LFsDeleteS(fDir.Child("f")).Status(), 0u);
    EXPECT_FALSE(Exists(fDir.File("f")));
}

TEST_F(FileOpsTest, TemporaryFilesAreOwned) {
    LFsSpec folder = fDir.Spec();
    std::string path;
    {
        LFsTempFile temp(reinterpret_cast<const unsigned char*>("undo.dat"), &folder);
        ASSERT_FALSE(temp.Failed());
        EXPECT_TRUE(temp.Owned());
        LString p = CMacFileU::PathFromLFsSpec(temp.Spec());
        path = p.CStr();
        EXPECT_TRUE(Exists(path));
        EXPECT_EQ(path.substr(path.size() - 4), ".dat");
        EXPECT_NE(temp.Spec(), fDir.Child("undo.dat"));
    }
    EXPECT_FALSE(Exists(path));

    LFsSpec missing = fDir.Child("missing");
    LFsTempFile failed(reinterpret_cast<const unsigned char*>("x"), &missing);
    EXPECT_TRUE(failed.Failed());
    EXPECT_FALSE(failed.Owned());
}

}  // namespace
