#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "Lib3/LSources/CoreData/LAsyncLoop.h"
#include "Lib3/LSources/CoreData/LTimer.h"
#include "Orbilume/CSources/Timecode/MusicAppSource.h"
#include "Platform/Foundation/RunLoop.h"
#include "Platform/Scripting/mpris/MprisPlayer.h"
#include "tests/support/MprisTonePlayer.h"

namespace {

// mpv with its MPRIS plugin on a private session bus, playing two 20 s tones.
class MprisPeerTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const std::string why = tones.Unavailable(); !why.empty()) GTEST_SKIP() << why;
        ASSERT_TRUE(tones.Start()) << "mpv does not play";
    }
    static std::string Ctl(const std::string& what) { return testsupport::MprisTonePlayer::Ctl(what); }
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

    testsupport::MprisTonePlayer tones;
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
