#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Lib3/LSources/Mac/CStdFolders.h"
#include "Lib3/LSources/Mac/UInternetConfig.h"
#include "Platform/Foundation/URLOpener.h"
#include "tests/support/EnvOverride.h"
#include "tests/support/SpecTempDir.h"

namespace {

LFsSpec SpecOf(const std::string& path) {
    return CMacFileU::LFsSpecFromPath(LString(path.c_str()));
}

class StdFoldersTest : public ::testing::Test {
protected:
    testsupport::SpecTempDir fHome;
    testsupport::EnvOverride fHomeVar{"HOME", fHome.Path().c_str()};
    testsupport::EnvOverride fConfig{"XDG_CONFIG_HOME", nullptr};
    testsupport::EnvOverride fData{"XDG_DATA_HOME", nullptr};
};

TEST_F(StdFoldersTest, MapToTheXdgFolders) {
    testsupport::TempDir tmp;
    testsupport::EnvOverride tmpVar("TMPDIR", tmp.Path().c_str());
    mkdir(fHome.File(".config").c_str(), 0755);
    fHome.Write(".config/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n");

    CStdFolders folders;
    EXPECT_EQ(folders.Get(CStdFolders::kDesktop), fHome.Child("Desktop"));
    EXPECT_EQ(folders.Get(CStdFolders::kDocuments), fHome.Child("Dokumente"));
    EXPECT_EQ(folders.Get(CStdFolders::kCurrentUser), fHome.Spec());
    EXPECT_EQ(folders.Get(CStdFolders::kAppSupport), LFsDescendS(fHome.Child(".local"), "share").Spec());
    EXPECT_EQ(folders.Get(CStdFolders::kUserTemporary), SpecOf(tmp.Path()));
    EXPECT_EQ(folders.Find(0x74727368), folders.Get(CStdFolders::kTrash));  // 'trsh'
    EXPECT_TRUE(folders.Find(0x78787878).IsEmpty());
    struct stat st;
    EXPECT_EQ(stat(fHome.File("Dokumente").c_str(), &st), 0);  // made when missing
}

TEST_F(StdFoldersTest, MissingFoldersFallBackToTheBase) {
    testsupport::EnvOverride tmpVar("TMPDIR", "/nonexistent-tmp");
    testsupport::EnvOverride data("XDG_DATA_HOME", "/nonexistent-data");  // outside home: never made
    LFsSpec base = fHome.Child("base");
    CStdFolders withBase(&base);
    EXPECT_EQ(withBase.Get(CStdFolders::kAppSupport), base);
    EXPECT_EQ(withBase.Get(CStdFolders::kUserTemporary), base);
    CStdFolders withoutBase;
    EXPECT_TRUE(withoutBase.Get(CStdFolders::kAppSupport).IsEmpty());  // no temporary folder either
}

TEST(UInternetConfigTest, LaunchUrlReachesTheOpener) {
    std::string seen;
    plat::SetURLOpenerFunction(
        [](const std::string& url, void* context) {
            *static_cast<std::string*>(context) = url;
            return true;
        },
        &seen);
    EXPECT_TRUE(UInternetConfig::LaunchURL(reinterpret_cast<const unsigned char*>("http://127.0.0.1/help")));
    EXPECT_EQ(seen, "http://127.0.0.1/help");
    EXPECT_FALSE(UInternetConfig::LaunchURL(nullptr));
    plat::SetURLOpenerFunction(nullptr, nullptr);
}

}  // namespace
