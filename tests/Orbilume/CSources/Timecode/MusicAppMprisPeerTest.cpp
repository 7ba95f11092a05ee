#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "Lib3/LSources/CoreData/LAsyncLoop.h"
#include "Lib3/LSources/CoreData/LTimer.h"
#include "Orbilume/CSources/Timecode/MusicAppSource.h"
#include "Platform/Foundation/RunLoop.h"
#include "Platform/Scripting/mpris/MprisPlayer.h"
#include "tests/support/BackgroundCommand.h"
#include "tests/support/CommandOutput.h"
#include "tests/support/DbusSession.h"
#include "tests/support/TempDir.h"

namespace {

using testsupport::CommandOutput;

using testsupport::HaveProgram;
using testsupport::SpawnQuiet;

void Stop(pid_t pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}

// mpv with its MPRIS plugin on a private session bus, playing two 20 s tones.
class MprisPeerTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* p : {"dbus-daemon", "mpv", "playerctl", "sox"})
            if (!HaveProgram(p)) GTEST_SKIP() << p << " is not installed";
        if (access(kPlugin, R_OK) != 0) GTEST_SKIP() << "mpv-mpris is not installed";
        if (!bus.Ok()) GTEST_SKIP() << bus.Why();
        for (const char* name : {"a", "b"})
            CommandOutput("sox -n -r 8000 -c 1 " + dir.File(std::string(name) + ".wav") +
                          " synth 20 sine 440");
        mpv = SpawnQuiet({"mpv", "--no-config", "--ao=null", "--vo=null", "--idle=no",
                     std::string("--script=") + kPlugin, dir.File("a.wav"), dir.File("b.wav")});
        ASSERT_GT(mpv, 0);
        for (int i = 0; i < 2000 && Ctl("status") != "Playing"; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_EQ(Ctl("status"), "Playing");
    }
    void TearDown() override { Stop(mpv); }
    std::string Ctl(const std::string& what) {
        std::string out = CommandOutput("playerctl -p mpv " + what + " 2>/dev/null");
        while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
        return out;
    }
    // Runs the main loop and its timers for a while (real time).
    void RunFor(int ms) {
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < end) {
            plat::RunLoop::Main()->RunInMode(plat::kRunLoopDefaultMode, 0.01, false);
            uint32_t now = LTimer::Now();
            for (LMessage m = LTimer::NextExpired(now, nullptr, nullptr, true); !m.IsEmpty();
                 m = LTimer::NextExpired(now, nullptr, nullptr, true))
                LHandler::Dispatch(m);
        }
    }
    static void Seen(void* context, TimecodeSource*) { ++*static_cast<int*>(context); }
    static int Seconds(const Timecode& t) { return t.hours * 3600 + t.minutes * 60 + t.seconds; }
    // The source's whole seconds lie between the player's position read before and after it
    // (spawning playerctl can take a second on a loaded machine).
    void ExpectSourceFollowsPlayer(MusicAppSource& source) {
        double before = std::atof(Ctl("position").c_str());
        RunFor(300);
        int seconds = Seconds(source.GetTime());
        double after = std::atof(Ctl("position").c_str());
        EXPECT_GE(seconds, static_cast<int>(before) - 1);
        EXPECT_LE(seconds, after + 0.5);
    }

    static constexpr const char* kPlugin = "/usr/lib/mpv-mpris/mpris.so";
    testsupport::DbusSession bus;
    testsupport::TempDir dir;
    pid_t mpv = -1;
};

TEST_F(MprisPeerTest, FollowsThePositionAndCommandsReachThePlayer) {
    std::unique_ptr<plat::MprisPlayer> player = plat::MprisPlayer::Open("mpv");
    ASSERT_TRUE(player);
    LAsyncLoop lock;
    MusicAppSource source(&lock, player.get());
    int notes = 0;
    source.AddListener(&notes, Seen);
    // A loaded machine can time out a poll and send the source back to idle: wait for tracking.
    for (int i = 0; i < 40 && (notes < 2 || source.CurrentMode() != MusicAppSource::kTracking); ++i)
        RunFor(250);
    EXPECT_GT(notes, 1);
    EXPECT_EQ(source.CurrentMode(), MusicAppSource::kTracking);
    ExpectSourceFollowsPlayer(source);

    source.Pause();
    RunFor(300);
    EXPECT_EQ(Ctl("status"), "Paused");
    source.Play();
    RunFor(300);
    EXPECT_EQ(Ctl("status"), "Playing");

    // No track list: the playlist is the current track, so 00:00:30 lies one track on.
    Timecode t;
    t.Init(30);
    t.Set(0, 0, 30, 0);
    source.Locate(t);
    RunFor(800);
    EXPECT_NE(Ctl("metadata xesam:url").find("b.wav"), std::string::npos);
    t.Set(0, 0, 12, 0);
    source.Locate(t);
    RunFor(800);
    double located = std::atof(Ctl("position").c_str());
    EXPECT_GE(located, 11.5);
    EXPECT_LE(located, 14.5);  // playback goes on while playerctl starts
    RunFor(1500);
    ExpectSourceFollowsPlayer(source);
    source.RemoveListener(&notes, Seen);
}

}  // namespace
