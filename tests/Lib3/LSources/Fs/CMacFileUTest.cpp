#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "Lib3/LSources/Fs/CMacFSRef.h"
#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Platform/Foundation/FileRef.h"
#include "Platform/Foundation/Volumes.h"
#include "tests/support/SpecTempDir.h"

namespace {

std::string PathOf(const LFsSpec& spec) {
    LString p = CMacFileU::PathFromLFsSpec(spec);
    return std::string(p.CStr(), p.Length());
}

LFsSpec Spec(const std::string& text) {
    return LFsSpec(LString(text.c_str()));
}

TEST(CMacFileUTest, StartupVolumeIsNamed) {
    EXPECT_EQ(CMacFileU::GetStartupVolumeName(), plat::kStartupVolumeName);
    EXPECT_EQ(CMacFileU::LFsSpecFromPath("/").GetText(), "file:///Root");
    EXPECT_EQ(CMacFileU::LFsSpecFromPath("/usr//lib/./x/../y").GetText(), "file:///Root/usr/lib/y");
    EXPECT_EQ(PathOf(Spec("file:///Root")), "/");
    EXPECT_EQ(PathOf(Spec("file:///Root/usr/lib")), "/usr/lib");
    EXPECT_TRUE(CMacFileU::IsMountedVolume(reinterpret_cast<const unsigned char*>("Root")));
    EXPECT_EQ(PathOf(Spec("file:///NoSuchVolume/x")), "");
}

TEST(CMacFileUTest, AwkwardNamesRoundTrip) {
    testsupport::SpecTempDir dir;
    const char* names[] = {"a:b", "100% done", "caf\xC3\xA9 menu", "x:y%z \xC3\xA9", ".hidden", "..."};
    for (const char* name : names) {
        std::string path = dir.File(name);
        LFsSpec spec = CMacFileU::LFsSpecFromPath(LString(path.c_str()));
        EXPECT_EQ(PathOf(spec), path) << name;
        std::string specName = name;  // a POSIX ":" is a "/" in the spec's name
        for (char& c : specName) {
            if (c == ':') c = '/';
        }
        EXPECT_EQ(spec, dir.Child(specName.c_str())) << name;
        EXPECT_EQ(spec.name(), specName.c_str());
    }
    // A POSIX ":" is a "/" in the spec's name, stored as %2F.
    LFsSpec colon = CMacFileU::LFsSpecFromPath(LString(dir.File("a:b").c_str()));
    EXPECT_EQ(colon.name(), "a/b");
    EXPECT_NE(std::string(colon.CStr()).find("/a%2Fb"), std::string::npos);
}

TEST(CMacFileUTest, ReferencesAndURLsGoThroughThePosixPath) {
    testsupport::SpecTempDir dir;
    dir.Write("a:b \xC3\xA9.txt", "x");
    ASSERT_EQ(symlink("missing-target", dir.File("dangling").c_str()), 0);
    const LFsSpec file = dir.Child("a/b \xC3\xA9.txt");

    CMacFSRef ref(file);
    ASSERT_TRUE(ref.IsValid());
    EXPECT_EQ(CMacFileU::LFsSpecFromFSRef(ref.Ref()), file);
    EXPECT_TRUE(CMacFSRef(dir.Child("dangling")).IsValid());  // the link itself, not its target
    CMacFSRef missing(dir.Child("none"));
    EXPECT_FALSE(missing.IsValid());
    EXPECT_EQ(missing.Ref().node, 0u);
    EXPECT_TRUE(CMacFileU::LFsSpecFromFSRef(missing.Ref()).IsEmpty());

    // The parent form: the folder's reference and the leaf (POSIX name) as UTF-16.
    CMacFSRef parent = CMacFSRef::ParentAndLeaf(dir.Child("new:\xC3\xA9"));
    ASSERT_TRUE(parent.IsValid());
    EXPECT_EQ(CMacFileU::LFsSpecFromFSRef(parent.Ref()), dir.Spec());
    EXPECT_EQ(parent.Leaf(), u"new:\u00E9");
    EXPECT_FALSE(CMacFSRef::ParentAndLeaf(LFsDescendS(dir.Child("none"), "x").Spec()).IsValid());

    plat::URL url = CMacFileU::NSURLFromLFsSpec(file);
    EXPECT_EQ(url.String(), "file://" + dir.Path() + "/a:b%20%C3%A9.txt");
    EXPECT_EQ(CMacFileU::LFsSpecFromNSURL(url), file);
    EXPECT_EQ(CMacFileU::CFURLFromLFsSpec(file).String(), url.String());
    LFsSpec folder(LString((std::string(dir.Spec().CStr()) + "/").c_str()));
    EXPECT_EQ(CMacFileU::NSURLFromLFsSpec(folder).String(), "file://" + dir.Path() + "/");
    EXPECT_TRUE(CMacFileU::NSURLFromLFsSpec(Spec("file:///NoSuchVolume/x")).IsEmpty());
    EXPECT_TRUE(CMacFileU::LFsSpecFromNSURL(plat::URL("http://127.0.0.1/x")).IsEmpty());
}

// Encoded dot segments decode to "." and ".." and must not climb out of the spec's folder.
TEST(CMacFileUTest, RefusesDotSegmentsAndNulBytes) {
    testsupport::SpecTempDir dir;
    std::string base = dir.Spec().CStr();
    const char* tails[] = {"/%2E%2E/etc", "/%2e%2e", "/a/%2E/b", "/a%00b"};
    for (const char* tail : tails) EXPECT_EQ(PathOf(Spec(base + tail)), "") << tail;
    EXPECT_EQ(PathOf(Spec(base + "/...")), dir.File("..."));
    EXPECT_EQ(PathOf(Spec(base + "/%2E%2Ex")), dir.File("..x"));
}

TEST(CMacFileUTest, OtherVolumesAreMountPoints) {
    testsupport::TempDir dir;
    mkdir(dir.File("media").c_str(), 0755);
    mkdir(dir.File("media/Stick").c_str(), 0755);
    dir.Write("mounts", "/dev/sda1 / ext4 rw 0 0\n/dev/sdb1 " + dir.File("media/Stick") + " vfat rw 0 0\n");
    plat::SetMountTableForTesting(dir.File("mounts"), {dir.File("media")});

    LFsSpec spec = CMacFileU::LFsSpecFromPath(LString(dir.File("media/Stick/Show 1.obm").c_str()));
    EXPECT_EQ(spec.GetText(), "file:///Stick/Show%201.obm");
    EXPECT_EQ(PathOf(spec), dir.File("media/Stick/Show 1.obm"));
    EXPECT_TRUE(CMacFileU::IsMountedVolume(reinterpret_cast<const unsigned char*>("Stick")));
    EXPECT_EQ(PathOf(Spec("file:///Stick")), dir.File("media/Stick"));

    plat::SetMountTableForTesting("", {});
    EXPECT_FALSE(CMacFileU::IsMountedVolume(reinterpret_cast<const unsigned char*>("Stick")));
    EXPECT_EQ(PathOf(spec), "");
}

TEST(CMacFileUTest, CurrentFolderAndRelativePaths) {
    testsupport::SpecTempDir dir;
    char old[4096];
    ASSERT_NE(getcwd(old, sizeof old), nullptr);
    ASSERT_EQ(chdir(dir.Path().c_str()), 0);
    EXPECT_EQ(CMacFileU::GetCurrentFolder(), dir.Spec());
    EXPECT_EQ(CMacFileU::LFsSpecFromPath("sub/file"), LFsDescendS(dir.Child("sub"), "file").Spec());
    ASSERT_EQ(chdir(old), 0);
}

}  // namespace
