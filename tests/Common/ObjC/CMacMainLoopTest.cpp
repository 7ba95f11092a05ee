#include <atomic>
#include <chrono>
#include <thread>

#include "Common/ObjC/CMacWindowKind.h"
#include "Common/ObjC/MMainMenu.h"
#include "Lib3/LSources/CoreData/LTimer.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Lib3/LSources/Mac/CMacTimer.h"
#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/View.h"
#include "Platform/AppKit/Window.h"
#include "Platform/Foundation/RunLoop.h"
#include "tests/Common/ObjC/MainLoopFixture.h"
#include "tests/support/FakeClock.h"

namespace {

using plat::EventType;
using plat::headless::HeadlessBackend;

// The window bridge's part in wheel handling: the content view hands wheel events to the loop.
struct WheelView : plat::View {
    WheelView() : plat::View({0, 0, 1, 1}) {}
    void ScrollWheel(const plat::Event& e) override { CMacMainLoop::Get()->ScrollWheel(e); }
};

struct Frame : LHandler {
    explicit Frame(LHandler* up) : LHandler(up) {}
    int wheels = 0;
    LMessage Handle(const LMessage& msg) override {
        if (msg.Is(LWindow_Wheel)) {
            ++wheels;
            return LMessage();
        }
        return LHandler::Handle(msg);
    }
};

// Counts the timer expiries it receives.
struct ExpiryCounter : LHandler {
    int expired = 0;
    LMessage Handle(const LMessage& msg) override {
        if (msg.Is(LTimer_Expire)) ++expired;
        return LMessage();
    }
};

class CMacMainLoopTest : public MainLoopFixture {
protected:
    void RunLoopOnce() { plat::RunLoop::Main()->RunInMode(plat::kRunLoopDefaultMode, 0, false); }
    // Steps the modal loop while another thread moves the fake clock 1 ms at a time; answers the
    // fake milliseconds the step took.
    double TimedModalStep(testsupport::FakeClock& clock) {
        std::atomic<bool> done{false};
        double t0 = clock.Now();  // before the ticker moves the clock past the timers' start
        std::thread ticker([&] {
            while (!done) {
                clock.AdvanceMs(1);
                std::this_thread::sleep_for(std::chrono::microseconds(100));
            }
        });
        loop->RunModalStep();
        double elapsed = (clock.Now() - t0) * 1000;
        done = true;
        ticker.join();
        return elapsed;
    }
};

TEST_F(CMacMainLoopTest, TenWheelEventsMakeOneWheelMessageWithTheFractionsKept) {
    testsupport::FakeClock clock;
    struct Case {
        double delta;
        bool precise;
        int32_t sum;
    } cases[] = {{0.4, true, 4}, {1.0, false, 200}, {0.025, false, 5}, {-0.25, true, -2}};
    for (const Case& c : cases) {
        Frame frame(&root);
        LWindow window(&frame, 1, CMacWindowKindH(new CMacWinKind(6)));
        window.NativeWindow()->SetContentView(plat::Adopt(new WheelView).get());
        window.NativeWindow()->OrderFront();
        plat::Application* app = plat::Application::Shared();
        for (int i = 0; i < 10; ++i) {
            uint32_t mods = i == 0 ? uint32_t(plat::kShiftKeyMask) : 0u;
            app->SendEvent(HeadlessBackend::WheelEvent(window.NativeWindow(), {5.0 + i, 7}, 0, c.delta,
                                                       c.precise, mods));
        }
        RunLoopOnce();
        EXPECT_EQ(frame.wheels, 0);  // merged over 10 ms
        clock.AdvanceMs(10);
        RunLoopOnce();
        RunLoopOnce();
        EXPECT_EQ(frame.wheels, 1) << c.delta;
        const CMacMainLoop::SWheel& w = loop->LastWheel();
        EXPECT_EQ(w.deltaY, c.sum) << c.delta;
        EXPECT_EQ(w.deltaX, 0);
        EXPECT_EQ(w.windowNumber, window.NativeWindow()->Number());
        EXPECT_EQ(w.modifiers, plat::kShiftKeyMask);
        plat::Rect content = window.NativeWindow()->ContentRect();
        EXPECT_EQ(w.location, (CLPoint{int32_t(content.x) + 5, int32_t(content.y) + 7}));
    }
}

TEST_F(CMacMainLoopTest, ModalWaitIsBoundedByTheNextTimer) {
    testsupport::FakeClock clock;
    struct Case {
        int32_t dueMs;  // -1: no timer
        double minMs;
        double maxMs;
    } cases[] = {{-1, 1000, 1150}, {3, 10, 150}, {250, 250, 400}, {5000, 1000, 1150}};
    for (const Case& c : cases) {
        LTimer timer(&root);
        if (c.dueMs >= 0) timer.StartOnce(uint32_t(c.dueMs), 0);
        double ms = TimedModalStep(clock);
        EXPECT_GE(ms, c.minMs - 0.5) << c.dueMs;
        EXPECT_LE(ms, c.maxMs) << c.dueMs;
    }
}

TEST_F(CMacMainLoopTest, AMainThreadWakeEndsAModalWait) {
    CMacTimer* timer = loop->CreateTimer([](void*, CMacTimer*) {}, nullptr);
    std::thread firer([timer] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        timer->Fire();
    });
    auto t0 = std::chrono::steady_clock::now();
    loop->RunModalStep();  // nothing due: would wait a second
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(700));
    firer.join();
    CRefObj::Free(timer);
}

TEST_F(CMacMainLoopTest, IdleTimerRearmRule) {
    testsupport::FakeClock clock;
    struct Case {
        int32_t dueMs;  // -1: no timer
        double delay;   // seconds; negative: parked
        bool pending;
    } cases[] = {{-1, -1, false}, {0, 0, true}, {3, 0.010, false}, {50, 0.050, false}};
    for (const Case& c : cases) {
        delete loop;
        loop = new CMacMainLoop(&root);
        LTimer timer(&root);
        if (c.dueMs >= 0)
            timer.StartOnce(uint32_t(c.dueMs), 0);
        else
            loop->RearmIdleTimer();
        if (c.delay < 0)
            EXPECT_LT(loop->IdleTimerDelay(), 0) << c.dueMs;
        else
            EXPECT_NEAR(loop->IdleTimerDelay(), c.delay, 1e-6) << c.dueMs;
        EXPECT_EQ(loop->IdlePending(), c.pending) << c.dueMs;
    }
}

TEST_F(CMacMainLoopTest, DueTimersExpireFromTheIdleTimer) {
    testsupport::FakeClock clock;
    ExpiryCounter owner;
    LTimer timer(&owner);
    timer.StartOnce(30, 0);
    clock.AdvanceMs(20);
    RunLoopOnce();
    EXPECT_EQ(owner.expired, 0);
    clock.AdvanceMs(10);
    RunLoopOnce();
    EXPECT_EQ(owner.expired, 1);
    EXPECT_LT(loop->IdleTimerDelay(), 0);  // nothing left: parked
}

TEST_F(CMacMainLoopTest, EachIdlePassEndsWithACursorUpdateUnlessSuppressed) {
    testsupport::FakeClock clock;
    static std::vector<CLPoint> seen;
    seen.clear();
    CMacMainLoop::SetCursorUpdate([](const CLPoint& p) { seen.push_back(p); });
    screens.Backend().SetMouseLocation({100.5, 200.4});
    LTimer timer(&root);
    timer.StartOnce(0, 0);
    RunLoopOnce();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], (CLPoint{101, 200}));
    EXPECT_EQ(loop->MouseLocation(), (CLPoint{101, 200}));

    CMacMainLoop::SuppressCursorUpdates(true);
    timer.StartOnce(0, 0);
    RunLoopOnce();
    EXPECT_EQ(seen.size(), 1u);
    CMacMainLoop::SuppressCursorUpdates(false);

    // Not while the loop tracks the mouse (menus, live resize).
    timer.StartOnce(0, 0);
    plat::RunLoop::Main()->RunInMode(plat::kEventTrackingRunLoopMode, 0, false);
    EXPECT_EQ(seen.size(), 1u);
    CMacMainLoop::SetCursorUpdate(nullptr);
}

TEST_F(CMacMainLoopTest, ModalWindowGetsASessionUntilHidden) {
    Frame frame(&root);
    LWindow dialog(&frame, LWindow::kModal, CMacWindowKindH(new CMacWinKind(8)));
    mgr.Show(&dialog);
    plat::Application* app = plat::Application::Shared();
    app->PostEvent(HeadlessBackend::KeyEvent(EventType::kKeyUp, nullptr, "a", 0), false);
    loop->RunModalStep();
    EXPECT_EQ(app->ModalWindow(), dialog.NativeWindow());
    EXPECT_EQ(app->QueuedEventCount(), 0u);
    mgr.Hide(&dialog);
    EXPECT_EQ(app->ModalWindow(), nullptr);
}

TEST_F(CMacMainLoopTest, TimersBehindTheFrontModalWindowWait) {
    testsupport::FakeClock clock;
    ExpiryCounter owner;
    Frame frame(&root);
    LWindow dialog(&frame, LWindow::kModal, CMacWindowKindH(new CMacWinKind(8)));
    mgr.Show(&dialog);
    loop->SetActive(true);
    LTimer timer(&owner);
    timer.StartOnce(0, 3);  // held while another chain's dialog is in front
    RunLoopOnce();
    EXPECT_EQ(owner.expired, 0);
    mgr.Hide(&dialog);
    RunLoopOnce();
    EXPECT_EQ(owner.expired, 1);
}

TEST_F(CMacMainLoopTest, ReentrantUpdateCycleSendsOneDeferred) {
    root.onDeferred = [] { plat::Application::Shared()->UpdateWindows(); };
    plat::Application::Shared()->UpdateWindows();
    EXPECT_EQ(root.Count("CMainLoopBase_Deferred"), 1);
    plat::Application::Shared()->UpdateWindows();
    EXPECT_EQ(root.Count("CMainLoopBase_Deferred"), 2);
}

TEST_F(CMacMainLoopTest, MenusSeeKeyDownsBeforeTheKeyWindow) {
    struct KeyView : plat::View {
        KeyView() : plat::View({0, 0, 1, 1}) {}
        std::string keys;
        void KeyDown(const plat::Event& e) override { keys += e.characters; }
    };
    Frame frame(&root);
    LWindow window(&frame, 1, CMacWindowKindH(new CMacWinKind(6)));
    plat::Ref<KeyView> view = plat::Adopt(new KeyView);
    window.NativeWindow()->SetContentView(view.get());
    mgr.Show(&window);
    MMainMenu::SetLookup([](const plat::Event& e) { return (e.modifierFlags & plat::kCommandKeyMask) != 0; });
    plat::Application* app = plat::Application::Shared();
    app->SendEvent(HeadlessBackend::KeyEvent(EventType::kKeyDown, window.NativeWindow(), "q", 12,
                                             plat::kCommandKeyMask));
    app->SendEvent(HeadlessBackend::KeyEvent(EventType::kKeyDown, window.NativeWindow(), "a", 0));
    MMainMenu::SetLookup(nullptr);
    EXPECT_EQ(view->keys, "a");
}

}  // namespace
