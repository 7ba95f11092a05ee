#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Lib3/LSources/CoreData/LAsyncLoop.h"
#include "Lib3/LSources/CoreData/LTimer.h"
#include "Orbilume/CSources/Timecode/MusicAppSource.h"
#include "Platform/Scripting/fake/FakeMediaPlayer.h"
#include "tests/support/FakeClock.h"

namespace {

struct MusicAppSourceTest : ::testing::Test {
    MusicAppSourceTest() {
        player.playlist = {{"t1", 200}, {"t2", 300}};
        player.current = 1;
        player.position = 10;
    }

    // Delivers the player's answers and the due main-loop timers until nothing is left to do now.
    void Turn() {
        for (int i = 0; i < 100; ++i) {
            size_t n = player.Deliver();
            uint32_t now = LTimer::Now();
            for (LMessage m = LTimer::NextExpired(now, nullptr, nullptr, true); !m.IsEmpty();
                 m = LTimer::NextExpired(now, nullptr, nullptr, true)) {
                LHandler::Dispatch(m);
                ++n;
            }
            if (n == 0) return;
        }
    }
    // Moves time in 10 ms steps, letting the loop run after each.
    void Run(uint32_t ms) {
        for (uint32_t t = 0; t < ms; t += 10) {
            clock.AdvanceMs(10);
            Turn();
        }
    }
    static void Count(void* context, TimecodeSource* source) {
        auto* self = static_cast<MusicAppSourceTest*>(context);
        self->seen.push_back(source->GetTime().Format());
    }
    size_t CountOf(const char* name) const {
        return size_t(std::count(player.requests.begin(), player.requests.end(), name));
    }

    testsupport::FakeClock clock{1000.0};
    LAsyncLoop lock;
    plat::FakeMediaPlayer player;
    std::vector<std::string> seen;
};

TEST_F(MusicAppSourceTest, PublishesThePlaylistTime) {
    MusicAppSource source(&lock, &player);
    Turn();
    EXPECT_TRUE(player.requests.empty());  // no listener, no poll

    source.AddListener(this, Count);
    Turn();
    ASSERT_GE(seen.size(), 1u);
    EXPECT_EQ(seen[0], "00:03:30:00");  // 200 s + 10 s
    EXPECT_EQ(source.PlaylistOffset(), 200);
    EXPECT_EQ(source.CurrentMode(), MusicAppSource::kStarting);
    EXPECT_EQ(source.Interval(), 100u);
    source.RemoveListener(this, Count);
}

TEST_F(MusicAppSourceTest, FollowsPlayingAndTracksTheSecond) {
    MusicAppSource source(&lock, &player);
    source.AddListener(this, Count);
    Turn();
    seen.clear();
    for (int s = 0; s < 5; ++s) {
        Run(1000);
        player.position += 1;
    }
    Run(1000);
    EXPECT_EQ(source.CurrentMode(), MusicAppSource::kTracking);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back(), "00:03:35:00");
    // One notification per second moved (the first poll's jump is published again once).
    EXPECT_LE(seen.size(), 7u);
    source.RemoveListener(this, Count);
}

TEST_F(MusicAppSourceTest, BackwardJumpNotifiesTwiceThenAgain) {
    player.position = 50;
    MusicAppSource source(&lock, &player);
    source.AddListener(this, Count);
    Turn();
    Run(3000);
    player.position = 52;
    Run(1000);
    seen.clear();
    player.position = 20;  // jump back within the track
    Run(120);
    ASSERT_GE(seen.size(), 2u);
    EXPECT_EQ(seen[0], "00:03:40:00");
    EXPECT_EQ(seen[1], "00:03:40:00");
    size_t twice = seen.size();
    Run(1000);
    EXPECT_GT(seen.size(), twice);  // the next poll publishes it again
    EXPECT_EQ(seen.back(), "00:03:40:00");
    source.RemoveListener(this, Count);
}

TEST_F(MusicAppSourceTest, LocateSendsNextAndThePosition) {
    player.current = 0;
    MusicAppSource source(&lock, &player);
    Timecode t;
    t.Init(30);
    t.Set(0, 4, 0, 0);
    source.Locate(t);
    Turn();
    EXPECT_EQ(player.commands, (std::vector<std::string>{"Next", "SetPosition 40"}));

    player.commands.clear();
    t.Set(0, 0, 30, 0);  // back into the first track
    source.Locate(t);
    Turn();
    EXPECT_EQ(player.commands, (std::vector<std::string>{"Previous", "SetPosition 30"}));

    player.commands.clear();
    player.failing = true;
    source.Locate(t);
    Turn();
    EXPECT_TRUE(player.commands.empty());
}

TEST_F(MusicAppSourceTest, PauseAndFailuresReturnToIdle) {
    MusicAppSource source(&lock, &player);
    source.AddListener(this, Count);
    Turn();
    Run(2000);
    source.Pause();
    EXPECT_EQ(player.commands.back(), "Pause");
    EXPECT_EQ(source.CurrentMode(), MusicAppSource::kIdle);
    EXPECT_EQ(source.Interval(), 500u);
    size_t before = CountOf("GetState");
    Run(2000);
    // Paused: each full poll fails at its state read, every 500 ms.
    EXPECT_GE(CountOf("GetState") - before, 3u);
    EXPECT_LE(CountOf("GetState") - before, 5u);
    EXPECT_EQ(source.CurrentMode(), MusicAppSource::kIdle);
    source.Play();
    Turn();
    EXPECT_EQ(source.CurrentMode(), MusicAppSource::kStarting);
    source.RemoveListener(this, Count);
}

TEST_F(MusicAppSourceTest, HungPlayerNeverDelaysTheLoopAndIsNotAskedTwice) {
    MusicAppSource source(&lock, &player);
    source.AddListener(this, Count);
    Turn();
    Run(1000);
    player.hung = true;
    size_t before = player.requests.size();
    // Another main-loop timer keeps firing on time while the player hangs.
    struct Tick : LHandler {
        int fired = 0;
        LMessage Handle(const LMessage& msg) override {
            if (msg.Is(LTimer_Expire)) {
                ++fired;
                return LMessage();
            }
            return LHandler::Handle(msg);
        }
    } tick;
    LTimer other(&tick);
    other.StartRepeat(100);
    Run(900);
    EXPECT_EQ(tick.fired, 9);
    // One request is outstanding and not repeated.
    EXPECT_EQ(player.requests.size(), before + 1);
    Run(200);
    EXPECT_EQ(source.CurrentMode(), MusicAppSource::kIdle);  // no answer in 1 s: failed
    EXPECT_FALSE(source.IsPolling() && player.requests.size() > before + 2);
    other.Stop();
    // Late answers of abandoned polls are dropped.
    player.hung = false;
    player.ExpireHung();
    Turn();
    source.RemoveListener(this, Count);
}

TEST_F(MusicAppSourceTest, LaunchGivesUpAfterThirtySeconds) {
    player.running = false;
    MusicAppSource source(&lock, &player);
    source.AddListener(this, Count);
    Turn();
    EXPECT_EQ(std::count(player.commands.begin(), player.commands.end(), "Launch"), 1);
    EXPECT_TRUE(source.IsLaunching());
    Run(31000);
    EXPECT_FALSE(source.IsLaunching());
    size_t checks = CountOf("IsRunning");
    EXPECT_GE(checks, 30u);
    EXPECT_LE(checks, 32u);
    Run(3000);
    EXPECT_EQ(CountOf("IsRunning"), checks);
    source.RemoveListener(this, Count);
}

TEST_F(MusicAppSourceTest, BadPlayerAnswersFailThePoll) {
    struct Case {
        const char* what;
        std::vector<plat::PlayerTrack> playlist;
        size_t current;
        uint32_t position;
        std::string override = {};
    } cases[] = {
        {"huge position", {{"a", 100}}, 0, 0xFFFFFFF0u},
        {"huge length", {{"a", 0xFFFFFFFFu}, {"b", 10}}, 1, 5},
        {"over a thousand tracks", std::vector<plat::PlayerTrack>(1001, {"x", 1}), 1000, 5},
        {"unknown track id", {{"a", 100}}, 0, 5, "zz"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        player.playlist = c.playlist;
        player.current = c.current;
        player.position = c.position;
        player.trackOverride = c.override;
        seen.clear();
        MusicAppSource source(&lock, &player);
        source.AddListener(this, Count);
        Turn();
        Run(600);
        EXPECT_EQ(source.CurrentMode(), MusicAppSource::kIdle);
        EXPECT_TRUE(seen.empty());
        source.RemoveListener(this, Count);
    }
}

}  // namespace
