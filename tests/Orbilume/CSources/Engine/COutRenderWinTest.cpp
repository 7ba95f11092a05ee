#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "Common/ObjC/CMacWindowKind.h"
#include "Common/ObjC/CMacWindowMgr.h"
#include "Common/OpenGL/CDisplayLinkClock.h"
#include "Common/OpenGL/COpenGLContext_Cca.h"
#include "Lib3/LSources/CoreData/LTimer.h"
#include "Lib3/LSources/CoreUI/LFrame.h"
#include "Lib3/LSources/CoreUI/LFrameSpec.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Orbilume/CSources/Engine/CMixEngine.h"
#include "Orbilume/CSources/Engine/COutRenderWin.h"
#include "Platform/Video/DisplayLink.h"
#include "tests/Common/OpenGL/OpenGLFixture.h"
#include "tests/support/FakeClock.h"
#include "tests/support/HeadlessScreens.h"

namespace {

// The window's owner: swallows the frame requests a test window sends up.
struct Owner : LHandler {
    LMessage Handle(const LMessage& msg) override {
        for (const char* id : {"LPane_Defer", "LPane_ReqFocus", "LFrame_Place", "LFrame_Activate",
                               "LFrame_Deactivate", "LPane_ReqCapture", "COpenGLView_Update"})
            if (msg.Is(id)) return LMessage();
        return LHandler::Handle(msg);
    }
};

bool WaitFor(const std::function<bool()>& done, int ms = 5000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// An output pane in a headless window over an engine without layers; the display link ticks only
// when the test says so, at a nominal 1 Hz (so a missed tick would cost two seconds, not a frame).
class COutRenderWinTest : public OpenGLTest {
protected:
    void SetUp() override {
        OpenGLTest::SetUp();
        saved = plat::GetDisplayLinkSettings();
        plat::DisplayLinkSettings s;
        s.manualTicks = true;
        s.nominalPeriod = period;
        plat::SetDisplayLinkSettings(s);
        engine = std::make_unique<CMixEngine>(nullptr, nullptr);
        window = new LFrame(&owner, nullptr, LFrameSpec(1, CMacWindowKindH(new CMacWinKind(6)), nullptr));
        window->SetWindowFrame({100, 100, 420, 340});
        LHandler::Dispatch(LMessage(LWindow_Place, window->Window(), window));
        window->SetBounds({0, 0, 320, 240});
        out = new COutRenderWin(window, engine.get());
        out->SetBounds({0, 0, 320, 240});
        FireTimers(1000);  // the first size
    }
    void TearDown() override {
        delete window;  // the pane stops its thread first
        engine.reset();
        plat::SetDisplayLinkSettings(saved);
        OpenGLTest::TearDown();
    }
    void FireTimers(int64_t advanceMs) {
        clock.AdvanceMs(advanceMs);
        for (LMessage m = LTimer::NextExpired(LTimer::Now(), nullptr, nullptr, true); !m.IsEmpty();
             m = LTimer::NextExpired(LTimer::Now(), nullptr, nullptr, true))
            LHandler::Dispatch(m);
    }
    // The render thread sits in the refresh wait: the next tick wakes it.
    bool Waiting() {
        return WaitFor([&] { return out->Clock()->Waiters() == 1; });
    }
    bool TickAndRender() {
        const uint32_t before = out->FrameCount();
        if (!Waiting()) return false;
        if (!out->Clock()->link()->Tick()) return false;
        return WaitFor([&] { return out->FrameCount() == before + 1; });
    }
    std::pair<uint32_t, uint32_t> OutputSize() const {
        uint32_t w = 0, h = 0;
        engine->FullOutputSize(w, h);
        return {w, h};
    }

    plat::VideoTime period{1, 1, 0};
    plat::DisplayLinkSettings saved;
    testsupport::FakeClock clock;
    testsupport::HeadlessScreens screens;
    CMacWindowMgr mgr;
    Owner owner;
    std::unique_ptr<CMixEngine> engine;
    LFrame* window = nullptr;
    COutRenderWin* out = nullptr;
};

TEST_F(COutRenderWinTest, OneFramePerRefreshOnceShown) {
    ASSERT_TRUE(out->Context()->valid());
    EXPECT_FALSE(out->IsRunning());  // nothing renders before the window shows
    window->ShowWindow();
    ASSERT_TRUE(out->IsRunning());
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(TickAndRender()) << i;
    ASSERT_TRUE(Waiting());
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(out->FrameCount(), 5u);
    EXPECT_EQ(out->StartCount(), 1u);
    EXPECT_EQ(out->PacingFps(), 1u);
    // At 1 Hz there is no skip to estimate: the lag stays 0.
    EXPECT_EQ(out->LastLag(), 0);
}

// The render thread reads the shown state the main thread sets: hiding ends the loop after the step
// in flight, showing starts it again with fresh pacing. Under the tsan preset this is also the race
// check of that hand-over (the pane's own state word is the main thread's).
TEST_F(COutRenderWinTest, HidingStopsTheLoopAndShowingRestartsIt) {
    window->ShowWindow();
    ASSERT_TRUE(TickAndRender());
    ASSERT_TRUE(Waiting());  // hide only once the next step is in its wait
    window->HideWindow();
    ASSERT_TRUE(TickAndRender());  // the step that was waiting finishes its frame
    ASSERT_TRUE(WaitFor([&] { return !out->IsRunning(); }));
    const uint32_t frames = out->FrameCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(out->Clock()->Waiters(), 0);
    EXPECT_EQ(out->FrameCount(), frames);

    window->ShowWindow();
    EXPECT_TRUE(out->IsRunning());
    ASSERT_TRUE(TickAndRender());
    EXPECT_EQ(out->StartCount(), 2u);
    // The pane alone hidden and shown again restarts as well.
    ASSERT_TRUE(Waiting());
    out->ChangeState(LPane::kHide);
    ASSERT_TRUE(TickAndRender());
    ASSERT_TRUE(WaitFor([&] { return !out->IsRunning(); }));
    out->ChangeState(LPane::kShow);
    ASSERT_TRUE(TickAndRender());
    EXPECT_EQ(out->StartCount(), 3u);
}

// A view without a place (hidden inside a shown pane) keeps the loop polling without presenting or
// rendering; once it has a place again the pacing starts afresh.
TEST_F(COutRenderWinTest, AnEmptyPlaceKeepsTheLoopWithoutFrames) {
    window->ShowWindow();
    ASSERT_TRUE(TickAndRender());
    ASSERT_TRUE(Waiting());  // hide only once the next step is in its wait
    out->View()->ChangeState(LPane::kHide);
    ASSERT_TRUE(TickAndRender());  // the step in flight
    const uint32_t frames = out->FrameCount();
    for (int i = 0; i < 5; ++i) {
        clock.AdvanceMs(20);  // the polls run on the (fake) clock
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(out->FrameCount(), frames);
    EXPECT_EQ(out->Clock()->Waiters(), 0);
    EXPECT_TRUE(out->IsRunning());
    out->View()->ChangeState(LPane::kShow);
    clock.AdvanceMs(20);
    ASSERT_TRUE(TickAndRender());
    EXPECT_EQ(out->StartCount(), 2u);
}

TEST_F(COutRenderWinTest, ABurstOfResizesChangesTheOutputOnce) {
    EXPECT_EQ(OutputSize(), std::make_pair(320u, 240u));
    for (int i = 1; i <= 5; ++i) {
        out->SetBounds({0, 0, 320 + 10 * i, 240 + 10 * i});
        FireTimers(150);
        EXPECT_EQ(OutputSize(), std::make_pair(320u, 240u)) << i;
    }
    FireTimers(49);
    EXPECT_EQ(OutputSize(), std::make_pair(320u, 240u));
    FireTimers(1);
    EXPECT_EQ(OutputSize(), std::make_pair(370u, 290u));
    EXPECT_EQ(out->View()->Bounds(), (CLRect{0, 0, 370, 290}));
    // An empty pane still asks for one pixel.
    out->SetBounds({0, 0, 0, 0});
    FireTimers(200);
    EXPECT_EQ(OutputSize(), std::make_pair(1u, 1u));
}

// A display whose refresh period is indefinite is paced at 60 Hz.
class COutRenderWinIndefiniteTest : public COutRenderWinTest {
protected:
    void SetUp() override {
        period = {1, 60, plat::kVideoTimeIsIndefinite};
        COutRenderWinTest::SetUp();
    }
};

TEST_F(COutRenderWinIndefiniteTest, RunsAtSixty) {
    window->ShowWindow();
    ASSERT_TRUE(TickAndRender());
    EXPECT_EQ(out->PacingFps(), 60u);
}

}  // namespace
