#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

#include "Lib3/LSources/Mac/CVolumeNote.h"
#include "Platform/Foundation/RunLoop.h"
#include "Platform/Foundation/Volumes.h"
#include "tests/support/TempDir.h"

namespace {

class VolumeNoteTest : public ::testing::Test {
protected:
    void SetUp() override {
        Table("");
        plat::SetMountTableForTesting(fDir.File("mounts"), {fDir.File("media")});
    }
    void TearDown() override { plat::SetMountTableForTesting("", {}); }
    void Table(const std::string& extra) { fDir.Write("mounts", "/dev/sda1 / ext4 rw 0 0\n" + extra); }
    // The kernel writes blanks in mount points as \040.
    std::string Mount(const char* name) {
        std::string point = fDir.File("media/") + name;
        for (size_t i = point.find(' '); i != std::string::npos; i = point.find(' ', i))
            point.replace(i, 1, "\\040");
        return "/dev/x " + point + " vfat rw 0 0\n";
    }

    testsupport::TempDir fDir;
};

struct Seen {
    std::vector<std::string> events;
    CVolumeNote* note = nullptr;
    bool unregister = false;
};

int Record(void* context, int, void* argument) {
    Seen* seen = static_cast<Seen*>(context);
    const CVolumeNote::Notice* n = static_cast<const CVolumeNote::Notice*>(argument);
    seen->events.push_back(std::string(n->mounted ? "+" : "-") + n->name.CStr() + " " + n->volume.CStr());
    if (seen->unregister) seen->note->Callbacks().Remove(context, &Record);
    return 0;
}

TEST_F(VolumeNoteTest, CallsBackForMountsAndUnmounts) {
    CVolumeNote note;
    Seen seen{{}, &note, false};
    note.Callbacks().Add(&seen, &Record);

    note.Poll();
    EXPECT_TRUE(seen.events.empty());
    Table(Mount("Show Disk"));
    note.Poll();
    Table(Mount("Other"));
    note.Poll();
    std::vector<std::string> expected = {"+Show Disk file:///Show%20Disk", "-Show Disk file:///Show%20Disk",
                                         "+Other file:///Other"};
    EXPECT_EQ(seen.events, expected);
}

TEST_F(VolumeNoteTest, CallbacksMayUnregisterThemselves) {
    CVolumeNote note;
    Seen first{{}, &note, true};
    Seen second{{}, &note, false};
    note.Callbacks().Add(&first, &Record);
    note.Callbacks().Add(&second, &Record);
    Table(Mount("A") + Mount("B"));
    note.Poll();
    EXPECT_EQ(first.events.size(), 1u);
    EXPECT_EQ(second.events.size(), 2u);

    // Other messages pass on to the upper handler; only messages to the note itself are caught.
    LMessage other = note.Handle(LMessage(CVolumeNote_Mount, &note, nullptr));
    EXPECT_FALSE(other.IsEmpty());
    EXPECT_EQ(second.events.size(), 2u);
}

// A real mount in a private mount namespace reaches the callbacks through the run loop. Runs in a
// child process (a fresh namespace and loop thread); skipped without the privilege to mount.
TEST(VolumeNoteMountTest, RunLoopDeliversRealMounts) {
    testsupport::TempDir dir;
    std::string media = dir.File("media");
    std::string disk = media + "/Disk";
    mkdir(media.c_str(), 0755);
    mkdir(disk.c_str(), 0755);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            _exit(77);
        int result = 1;
        std::thread loopThread([&] {
            plat::SetMountTableForTesting("", {media});
            CVolumeNote note;
            Seen seen{{}, &note, false};
            note.Callbacks().Add(&seen, &Record);
            if (!note.Attach(plat::RunLoop::Current())) return;
            auto waitFor = [&](size_t count) {
                for (int i = 0; i < 50 && seen.events.size() < count; ++i) {
                    plat::RunLoop::Current()->RunInMode(plat::kRunLoopDefaultMode, 0.1, true);
                }
            };
            plat::RunLoop::Current()->RunInMode(plat::kRunLoopDefaultMode, 0, true);  // starts the watch
            if (mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=64k") != 0) return;
            waitFor(1);
            umount(disk.c_str());
            waitFor(2);
            std::vector<std::string> expected = {"+Disk file:///Disk", "-Disk file:///Disk"};
            result = seen.events == expected ? 0 : 2;
        });
        loopThread.join();
        _exit(result);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "no privilege to make a mount namespace";
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
