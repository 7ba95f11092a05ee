#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
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

// An upper handler that records the note's messages and what the callbacks saw before each.
struct UpperRecorder : LHandler {
    std::vector<std::string> log;
    LMessage Handle(const LMessage& msg) override {
        if (msg.target != this || !(msg.Is(CVolumeNote_Mount) || msg.Is(CVolumeNote_Unmount)))
            return LHandler::Handle(msg);
        auto* note = static_cast<CVolumeNote*>(msg.sender);
        log.push_back(std::string(msg.id.Text()) + " " + note->CurrentNotice().name.CStr());
        return LMessage();
    }
};

int LogCallback(void* context, int, void* argument) {
    auto* upper = static_cast<UpperRecorder*>(context);
    upper->log.push_back(std::string("callback ") +
                         static_cast<const CVolumeNote::Notice*>(argument)->name.CStr());
    return 0;
}

TEST_F(VolumeNoteTest, AnUpperHandlerHearsEachChangeAfterTheCallbacks) {
    UpperRecorder upper;
    CVolumeNote note(&upper);
    note.Callbacks().Add(&upper, &LogCallback);
    Table(Mount("A"));
    note.Poll();
    Table("");
    note.Poll();
    const std::vector<std::string> expected = {"callback A", "CVolumeNote_Mount A", "callback A",
                                               "CVolumeNote_Unmount A"};
    EXPECT_EQ(upper.log, expected);
}

// Made with an upper handler, the note watches the main run loop by itself: a tmpfs mounted in a
// private mount namespace reaches the upper handler once. The body runs in a fresh process of this
// test program (its own main run loop), started by the test below; skipped without privilege.
TEST(VolumeNoteUpperMountChild, Body) {
    const char* media = std::getenv("ORBILUME_VOLUME_NOTE_CHILD");
    if (!media) GTEST_SKIP() << "runs only as the child of UpperHandlerHearsARealMountFromTheMainLoop";
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        _exit(77);
    const std::string disk = std::string(media) + "/Disk";
    plat::SetMountTableForTesting("", {media});
    UpperRecorder upper;
    CVolumeNote note(&upper);
    auto runFor = [&](double seconds, size_t until) {
        for (int i = 0; i < int(seconds * 10) && upper.log.size() < until; ++i)
            plat::RunLoop::Main()->RunInMode(plat::kRunLoopDefaultMode, 0.1, true);
    };
    runFor(0.1, 1);  // starts the watch
    if (mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=64k") != 0) _exit(77);
    runFor(5, 1);
    runFor(0.3, 2);  // no second message for the one mount
    EXPECT_EQ(upper.log, std::vector<std::string>{"CVolumeNote_Mount Disk"});
    umount(disk.c_str());
    runFor(5, 2);
    EXPECT_EQ(upper.log.size(), 2u);
    if (upper.log.size() == 2) {
        EXPECT_EQ(upper.log[1], "CVolumeNote_Unmount Disk");
    }
    plat::SetMountTableForTesting("", {});
    _exit(::testing::Test::HasFailure() ? 1 : 0);
}

TEST(VolumeNoteMountTest, UpperHandlerHearsARealMountFromTheMainLoop) {
    testsupport::TempDir dir;
    const std::string media = dir.File("media");
    mkdir(media.c_str(), 0755);
    mkdir((media + "/Disk").c_str(), 0755);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        setenv("ORBILUME_VOLUME_NOTE_CHILD", media.c_str(), 1);
        execl("/proc/self/exe", "/proc/self/exe", "--gtest_filter=VolumeNoteUpperMountChild.Body", nullptr);
        _exit(78);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "no privilege to make a mount namespace";
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
