#include <gtest/gtest.h>
#include <poll.h>

#include "Platform/Foundation/Volumes.h"
#include "tests/support/TempDir.h"

namespace {

TEST(VolumesTest, ParsesMountTables) {
    const std::string table =
        "/dev/sda1 / ext4 rw,relatime 0 0\n"
        "proc /proc proc rw 0 0\n"
        "/dev/sdb1 /media/ann/My\\040Disk vfat rw 0 0\n"
        "garbage\n"
        "/dev/sdc1 /mnt/back\\134slash/ ext4 rw 0 0";
    std::vector<std::string> points = plat::ParseMountTable(table);
    std::vector<std::string> expected = {"/", "/proc", "/media/ann/My Disk", "/mnt/back\\slash"};
    EXPECT_EQ(points, expected);
}

TEST(VolumesTest, VolumesAreMountPointsBelowTheRoots) {
    std::vector<std::string> points = {"/",          "/proc",         "/media/ann/My Disk", "/mnt/usb",
                                       "/mnt/a/b/c", "/media/x/Root", "/run/media/bo/usb"};
    std::vector<plat::Volume> volumes =
        plat::VolumesFromMountPoints(points, {"/media", "/mnt", "/run/media"});
    ASSERT_EQ(volumes.size(), 3u);
    EXPECT_EQ(volumes[0].name, plat::kStartupVolumeName);
    EXPECT_EQ(volumes[0].mountPoint, "/");
    EXPECT_EQ(volumes[1].name, "My Disk");
    EXPECT_EQ(volumes[2].mountPoint, "/mnt/usb");  // a later "usb" and the name "Root" stay hidden
}

class VolumesFixture : public ::testing::Test {
protected:
    void SetUp() override {
        WriteTable("/dev/sda1 / ext4 rw 0 0\n");
        plat::SetMountTableForTesting(fDir.File("mounts"), {fDir.File("media")});
    }
    void TearDown() override { plat::SetMountTableForTesting("", {}); }
    void WriteTable(const std::string& text) { fDir.Write("mounts", text); }

    testsupport::TempDir fDir;
};

TEST_F(VolumesFixture, PathsBelongToTheLongestMountPoint) {
    WriteTable("/dev/sda1 / ext4 rw 0 0\n/dev/sdb1 " + fDir.File("media/Stick") + " vfat rw 0 0\n");
    std::string inside;
    EXPECT_EQ(plat::VolumeOfPath(fDir.File("media/Stick/a/b"), inside).name, "Stick");
    EXPECT_EQ(inside, "/a/b");
    EXPECT_EQ(plat::VolumeOfPath(fDir.File("media/Stick"), inside).name, "Stick");
    EXPECT_EQ(inside, "");
    EXPECT_EQ(plat::VolumeOfPath(fDir.File("media/Sticky/a"), inside).name, plat::kStartupVolumeName);
    EXPECT_EQ(inside, fDir.File("media/Sticky/a"));
}

TEST_F(VolumesFixture, WatcherReportsMountsAndUnmounts) {
    plat::MountWatcher watcher;
    ASSERT_GE(watcher.FileDescriptor(), 0);
    std::vector<plat::Volume> mounted, unmounted;
    watcher.Poll(mounted, unmounted);
    EXPECT_TRUE(mounted.empty() && unmounted.empty());

    WriteTable("/dev/sda1 / ext4 rw 0 0\n/dev/sdb1 " + fDir.File("media/A") + " vfat rw 0 0\n");
    watcher.Poll(mounted, unmounted);
    ASSERT_EQ(mounted.size(), 1u);
    EXPECT_EQ(mounted[0].name, "A");
    EXPECT_TRUE(unmounted.empty());

    WriteTable("/dev/sda1 / ext4 rw 0 0\n/dev/sdc1 " + fDir.File("media/B") + " vfat rw 0 0\n");
    watcher.Poll(mounted, unmounted);
    ASSERT_EQ(mounted.size(), 1u);
    ASSERT_EQ(unmounted.size(), 1u);
    EXPECT_EQ(mounted[0].name, "B");
    EXPECT_EQ(unmounted[0].name, "A");
}

TEST(VolumesRealTest, ProcMountsIsQuietUntilAChange) {
    plat::MountWatcher watcher;
    ASSERT_GE(watcher.FileDescriptor(), 0);
    std::vector<plat::Volume> mounted, unmounted;
    watcher.Poll(mounted, unmounted);
    EXPECT_TRUE(mounted.empty() && unmounted.empty());
    // The watcher's descriptor turns readable only on a change of the table.
    struct pollfd p = {watcher.FileDescriptor(), POLLIN, 0};
    EXPECT_EQ(poll(&p, 1, 0), 0);
    EXPECT_EQ(plat::MountedVolumes()[0].mountPoint, "/");
}

}  // namespace
