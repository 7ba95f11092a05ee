#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Common/File/CFileURLU.h"
#include "tests/support/SpecTempDir.h"

namespace {

const unsigned char* U(const char* s) {
    return reinterpret_cast<const unsigned char*>(s);
}
LFsSpec Spec(const char* s) {
    return LFsSpec(LString(s));
}

bool IsFolder(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

TEST(CFileURLUTest, RelativePaths) {
    EXPECT_EQ(CFileURLU::GetRelativePath(Spec("file:///Root/a/c/d"), Spec("file:///Root/a/b")), "../c/d");
    EXPECT_EQ(CFileURLU::GetRelativePath(Spec("file:///Other/x"), Spec("file:///Root/a")), "../../Other/x");
    EXPECT_EQ(CFileURLU::GetRelativePath(Spec("file://host/Root/x"), Spec("file:///Root/a")),
              "//host/Root/x");
}

TEST(CFileURLUTest, SpecsFromUrlText) {
    testsupport::SpecTempDir dir;
    LFsSpec spec;
    std::string url = std::string("file://") + dir.File("a b/c.txt");
    ASSERT_TRUE(CFileURLU::GetFileSpec(U(url.c_str()), spec, false));
    EXPECT_EQ(spec, LFsDescendS(dir.Child("a b"), "c.txt").Spec());
    EXPECT_FALSE(IsFolder(dir.File("a b")));

    // Percent-encoded text, parent folders made.
    std::string encoded = CMacFileU::PathFromLFsSpec(dir.Spec()).CStr();
    encoded = "file://" + encoded + "/x%20y/z/leaf";
    ASSERT_TRUE(CFileURLU::GetFileSpec(U(encoded.c_str()), spec, true));
    EXPECT_TRUE(IsFolder(dir.File("x y/z")));
    EXPECT_FALSE(IsFolder(dir.File("x y/z/leaf")));

    // The classic form names the volume after "Volumes"; a known volume name leads the path.
    ASSERT_TRUE(CFileURLU::GetFileSpec(U("file:///Volumes/Root/usr/lib"), spec, false));
    EXPECT_EQ(spec, Spec("file:///Root/usr/lib"));
    ASSERT_TRUE(CFileURLU::GetFileSpec(U("/Root/usr"), spec, false));
    EXPECT_EQ(spec, Spec("file:///Root/usr"));

    // Relative text starts at the current folder.
    char old[4096];
    ASSERT_NE(getcwd(old, sizeof old), nullptr);
    ASSERT_EQ(chdir(dir.Path().c_str()), 0);
    EXPECT_TRUE(CFileURLU::GetFileSpec(U("in/here"), spec, false));
    EXPECT_EQ(spec, LFsDescendS(dir.Child("in"), "here").Spec());
    ASSERT_EQ(chdir(old), 0);

    EXPECT_FALSE(CFileURLU::GetFileSpec(U(""), spec, false));
    EXPECT_FALSE(CFileURLU::GetFileSpec(U("/Root/a/%2E%2E/b"), spec, false));
}

}  // namespace
