#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <set>
#include <string>

#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Lib3/LSources/FsDir/LDirCreateS.h"
#include "Lib3/LSources/FsDir/LFsItemInfoS.h"
#include "tests/support/SpecTempDir.h"

namespace {

class ItemInfoTest : public ::testing::Test {
protected:
    testsupport::SpecTempDir fDir;
};

TEST_F(ItemInfoTest, EnumerationIncludesHiddenItemsAndListsFoldersShallowly) {
    fDir.Write(".hidden", "");
    fDir.Write("b.txt", "");
    fDir.Write("a:b", "");
    mkdir(fDir.File("sub").c_str(), 0755);
    fDir.Write("sub/inner", "");

    std::set<std::string> names;
    LFsItemInfoS info(fDir.Spec(), true);
    for (; info.Status() == 0; info.Next()) {
        std::string name = info.name().CStr();
        names.insert(name);
        LFsSpec spec;
        info.GetSpec(spec);
        EXPECT_EQ(spec, fDir.Child(name.c_str()));
        EXPECT_EQ(info.isInvisible(), name == ".hidden") << name;
        EXPECT_EQ(info.isDirectory(), name == "sub") << name;
        if (name == "sub") {
            LFsItemInfoS children(info);
            ASSERT_EQ(children.Status(), 0u);
            EXPECT_EQ(children.name(), "inner");
            LFsSpec inner;
            children.GetSpec(inner);
            EXPECT_EQ(inner, LFsDescendS(fDir.Child("sub"), "inner").Spec());
            children.Next();
            EXPECT_EQ(children.Status(), 3u);
        } else {
            EXPECT_EQ(LFsItemInfoS(info).Status(), 3u);  // not a folder
        }
    }
    EXPECT_EQ(names, (std::set<std::string>{".hidden", "a/b", "b.txt", "sub"}));
    info.Next();
    EXPECT_EQ(info.Status(), 3u);
}

TEST_F(ItemInfoTest, EmptyAndMissingFolders) {
    mkdir(fDir.File("empty").c_str(), 0755);
    EXPECT_EQ(LFsItemInfoS(fDir.Child("empty"), true).Status(), 3u);
    EXPECT_EQ(LFsItemInfoS(fDir.Child("missing"), true).Status(), 3u);
    EXPECT_EQ(LFsItemInfoS(fDir.Child("missing"), false).Status(), 3u);
    LFsItemInfoS one(fDir.Child("empty"), false);
    EXPECT_EQ(one.Status(), 0u);
    EXPECT_TRUE(one.isDirectory());
    one.Next();
    EXPECT_EQ(one.Status(), 3u);  // not enumerating
}

TEST_F(ItemInfoTest, WritesAndReadsAttributes) {
    fDir.Write("doc.obm", "x");
    LFsSpec spec = fDir.Child("doc.obm");
    const double modified = 700000000.5;  // seconds since 2001
    {
        LFsItemInfoS info(spec, false);
        ASSERT_EQ(info.Status(), 0u);
        EXPECT_EQ(info.filetype(), 0u);
        info.SetModifiedG(modified);
        info.SetCreatedG(600000000.0);
        info.SetFiletype(0x4F424D31);  // 'OBM1'
        info.SetCreator(0x4F52424C);   // 'ORBL'
        info.SetVisibility(false);
        EXPECT_EQ(info.filetype(), 0x4F424D31u);  // pending values read back at once
        info.SetInfo();
        EXPECT_EQ(info.Status(), 0u);
    }
    LFsItemInfoS info(spec, false);
    EXPECT_NEAR(info.modifiedG(), modified, 1e-6);
    struct stat st;
    ASSERT_EQ(stat(fDir.File("doc.obm").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, static_cast<time_t>(modified + 978307200));
    if (getxattr(fDir.File("doc.obm").c_str(), "user.orbilume.type", nullptr, 0) < 0) {
        GTEST_SKIP() << "no user attributes on this file system";
    }
    EXPECT_EQ(info.filetype(), 0x4F424D31u);
    EXPECT_EQ(info.creator(), 0x4F52424Cu);
    EXPECT_TRUE(info.isInvisible());
    EXPECT_EQ(info.createdG(), 600000000.0);
    EXPECT_TRUE(CMacFileU::SetInfo(spec, 0, 0x41424344));
    EXPECT_EQ(LFsItemInfoS(spec, false).filetype(), 0u);
    EXPECT_EQ(LFsItemInfoS(spec, false).creator(), 0x41424344u);
}

TEST_F(ItemInfoTest, WritingToAVanishedItem) {
    fDir.Write("gone", "x");
    LFsItemInfoS info(fDir.Child("gone"), false);
    ASSERT_EQ(info.Status(), 0u);
    unlink(fDir.File("gone").c_str());
    info.SetModifiedG(1.0);
    info.SetInfo();
    EXPECT_EQ(info.Status(), 3u);
}

TEST_F(ItemInfoTest, FolderCreationModes) {
    LFsSpec spec = fDir.Child("Shows");
    EXPECT_EQ(LDirCreateS(spec, 1).Status(), 0u);
    EXPECT_EQ(LDirCreateS(spec, 1).Status(), 3u);
    EXPECT_EQ(LDirCreateS(spec, 0).Status(), 0u);
    LDirCreateS numbered(spec, 2);
    EXPECT_EQ(numbered.Status(), 0u);
    EXPECT_EQ(numbered.Spec(), fDir.Child("Shows2"));
    fDir.Write("file", "");
    EXPECT_EQ(LDirCreateS(fDir.Child("file"), 0).Status(), 3u);
    EXPECT_EQ(LDirCreateS(LFsDescendS(fDir.Child("no"), "x").Spec(), 0).Status(), 2u);
}

}  // namespace
