#include <gtest/gtest.h>
#include <sys/stat.h>

#include "Platform/Foundation/StandardFolders.h"
#include "tests/support/EnvOverride.h"
#include "tests/support/TempDir.h"

namespace {

bool IsFolder(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

class StandardFoldersTest : public ::testing::Test {
protected:
    testsupport::TempDir fHome;
    testsupport::EnvOverride fHomeVar{"HOME", fHome.Path().c_str()};
    testsupport::EnvOverride fConfig{"XDG_CONFIG_HOME", nullptr};
    testsupport::EnvOverride fData{"XDG_DATA_HOME", nullptr};
    testsupport::EnvOverride fTmp{"TMPDIR", nullptr};
};

TEST_F(StandardFoldersTest, UserFoldersFollowUserDirs) {
    mkdir(fHome.File(".config").c_str(), 0755);
    fHome.Write(".config/user-dirs.dirs",
                "# written by xdg-user-dirs-update\n"
                "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n"
                "XDG_DOCUMENTS_DIR=\"$HOME/\"\n");
    EXPECT_EQ(plat::StandardFolderPath(plat::StandardFolder::kDesktop, false), "");  // missing, not made
    EXPECT_EQ(plat::StandardFolderPath(plat::StandardFolder::kDesktop, true), fHome.File("Schreibtisch"));
    EXPECT_TRUE(IsFolder(fHome.File("Schreibtisch")));
    // A user folder set to the home itself is disabled: the default name applies.
    EXPECT_EQ(plat::StandardFolderPath(plat::StandardFolder::kDocuments, true), fHome.File("Documents"));
    EXPECT_EQ(plat::StandardFolderPath(plat::StandardFolder::kCurrentUser, false), fHome.Path());
}

TEST_F(StandardFoldersTest, DataFoldersFollowXdgDataHome) {
    std::string data = fHome.File("data");
    testsupport::EnvOverride dataHome("XDG_DATA_HOME", data.c_str());
    EXPECT_EQ(plat::StandardFolderPath(plat::StandardFolder::kApplicationSupport, true), data);
    EXPECT_EQ(plat::StandardFolderPath(plat::StandardFolder::kTrash, true), data + "/Trash/files");
    EXPECT_TRUE(IsFolder(data + "/Trash/files"));

    testsupport::EnvOverride relative("XDG_DATA_HOME", "relative/data");  // ignored, as the XDG rules say
    EXPECT_EQ(plat::StandardFolderPath(plat::StandardFolder::kApplicationSupport, true),
              fHome.File(".local/share"));
}

TEST_F(StandardFoldersTest, TemporaryFolderAndNoCreationOutsideHome) {
    testsupport::TempDir other;
    testsupport::EnvOverride tmp("TMPDIR", other.Path().c_str());
    EXPECT_EQ(plat::StandardFolderPath(plat::StandardFolder::kTemporary, true), other.Path());

    std::string outside = other.File("data");
    testsupport::EnvOverride dataHome("XDG_DATA_HOME", outside.c_str());
    EXPECT_EQ(plat::StandardFolderPath(plat::StandardFolder::kApplicationSupport, true), "");
    EXPECT_FALSE(IsFolder(outside));
}

}  // namespace
