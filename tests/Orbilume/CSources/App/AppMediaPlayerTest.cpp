// The application's media-player timecode source against a real player: mpv with its MPRIS plugin
// on a private D-Bus session bus. A show's sequence timer locked to it follows the playing
// position, and its transport starts and pauses the player.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "Lib3/LSources/CoreData/LTimer.h"
#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Orbilume/CSources/App/CObDoc.h"
#include "Orbilume/CSources/AppGlobals.h"
#include "Orbilume/CSources/CMainApp.h"
#include "Orbilume/CSources/Document/CSeqPlayer.h"
#include "Orbilume/CSources/Document/CSeqcTimer.h"
#include "Platform/Foundation/RunLoop.h"
#include "tests/Orbilume/CSources/App/AppTestSupport.h"
#include "tests/support/MprisTonePlayer.h"
#include "tests/support/EnvOverride.h"
#include "tests/support/TempDir.h"

namespace {

using apptest::AppFixture;

// Turns the main run loop and the framework's timers until done() or the time is up.
bool RunUntil(const std::function<bool()>& done, double seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        plat::RunLoop::Main()->RunInMode(plat::kRunLoopDefaultMode, 0.01, false);
        const uint32_t now = LTimer::Now();
        for (LMessage m = LTimer::NextExpired(now, nullptr, nullptr, true); !m.IsEmpty();
             m = LTimer::NextExpired(now, nullptr, nullptr, true))
            LHandler::Dispatch(m);
    }
    return true;
}

class AppMediaPlayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const std::string why = tones.Unavailable(); !why.empty()) GTEST_SKIP() << why;
        ASSERT_TRUE(tones.Start()) << "mpv does not play";
    }
    void TearDown() override { app.Delete(); }
    static std::string Ctl(const std::string& what) { return testsupport::MprisTonePlayer::Ctl(what); }

    testsupport::MprisTonePlayer tones;  // its session bus first: the application connects to it
    AppFixture app;
};

TEST_F(AppMediaPlayerTest, ASequenceTimerLockedToThePlayerFollowsItAndDrivesItsTransport) {
    // The player on the bus is found by its name, as the setting names it.
    testsupport::EnvOverride name("ORBILUME_MEDIA_PLAYER", "mpv");
    app.Create();
    ASSERT_NE(gMainApp->MediaPlayer(), nullptr) << "no session bus";
    ASSERT_NE(gMainApp->TimecodeSources().music, nullptr);
    gMainApp->OpenRequest({CMacFileU::LFsSpecFromPath(app.ShowPath().c_str())});
    ASSERT_EQ(gMainApp->DocumentCount(), 1u);
    CSeqcTimer& timer = gMainApp->DocumentAt(0)->Player().Timer();

    timer.SetSyncSource(CSeqcTimer::kMusicApp);
    // A loaded machine can time out a poll and start the lock again: wait for the transport.
    EXPECT_TRUE(RunUntil([&] { return timer.TransportState() == CSeqcTimer::kRunning; }, 15));
    // The timer's position lies within a second of the player's, read before and after it.
    (void)RunUntil([] { return false; }, 1.0);
    const double before = std::atof(Ctl("position").c_str());
    const int32_t position = timer.Position();
    const double after = std::atof(Ctl("position").c_str());
    EXPECT_GE(position, int32_t(before * 1000) - 1500) << before;
    EXPECT_LE(position, int32_t(after * 1000) + 1500) << after;

    timer.Stop();
    EXPECT_TRUE(RunUntil([&] { return Ctl("status") == "Paused"; }, 5)) << Ctl("status");
    timer.Play();
    EXPECT_TRUE(RunUntil([&] { return Ctl("status") == "Playing"; }, 5)) << Ctl("status");
    EXPECT_TRUE(RunUntil([&] { return timer.TransportState() == CSeqcTimer::kRunning; }, 15));
    timer.SetSyncSource(CSeqcTimer::kInternal);
}

TEST(AppMediaPlayerSourceTest, WithoutASessionBusThereIsNoMediaPlayerSource) {
    testsupport::TempDir empty;
    testsupport::EnvOverride address("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + empty.File("bus")).c_str());
    testsupport::EnvOverride runtime("XDG_RUNTIME_DIR", empty.Path().c_str());
    AppFixture app;
    app.Create();
    EXPECT_EQ(gMainApp->MediaPlayer(), nullptr);
    EXPECT_EQ(gMainApp->TimecodeSources().music, nullptr);
    // The other sources are there all the same.
    EXPECT_NE(gMainApp->TimecodeSources().clock, nullptr);
    app.Delete();
}

}  // namespace
