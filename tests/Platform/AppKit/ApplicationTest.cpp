#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "Platform/AppKit/Application.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/RunLoop.h"
#include "tests/support/HeadlessScreens.h"

namespace {

using plat::Application;
using plat::ApplicationDelegate;
using plat::Event;
using plat::EventType;

// Records every callback; quits once launching is done unless told otherwise.
struct Recorder : ApplicationDelegate {
    std::vector<std::string> calls;
    int vetoes = 0;  // ShouldTerminate answers cancel this many times
    bool quitWhenActive = true;
    int updatesToAsk = 0;

    void WillFinishLaunching() override { calls.push_back("will"); }
    void DidFinishLaunching() override { calls.push_back("did"); }
    bool OpenFile(const char* path) override {
        calls.push_back(std::string("open ") + path);
        return true;
    }
    bool OpenUntitledFile() override {
        calls.push_back("untitled");
        return true;
    }
    TerminateReply ShouldTerminate() override {
        calls.push_back("should");
        if (vetoes > 0) {
            --vetoes;
            return TerminateReply::kCancel;
        }
        return TerminateReply::kNow;
    }
    void WillTerminate() override { calls.push_back("terminate"); }
    void DidBecomeActive() override {
        calls.push_back("active");
        for (int i = 0; i < updatesToAsk; ++i) Application::Shared()->SetWindowsNeedUpdate(true);
        if (quitWhenActive && updatesToAsk == 0) Application::Shared()->Terminate();
    }
    void WillUpdate() override {
        calls.push_back("update");
        Application::Shared()->Terminate();
    }
};

class ApplicationTest : public ::testing::Test {
protected:
    void SetUp() override {
        Application::Shared()->SetDelegate(&rec);
        Application::Shared()->DiscardEvents(plat::kAnyEventMask);
    }
    void TearDown() override {
        Application::Shared()->SetDelegate(nullptr);
        Application::Shared()->Deactivate();
        Application::Shared()->SetDelegate(nullptr);
    }
    int Run(std::vector<const char*> args) {
        args.insert(args.begin(), "orbilume");
        return Application::Shared()->Run(int(args.size()), const_cast<char**>(args.data()));
    }

    testsupport::HeadlessScreens screens;
    Recorder rec;
};

TEST_F(ApplicationTest, LaunchOpensEachFileOrOneUntitled) {
    EXPECT_EQ(Run({"a.obm", "b.obm"}), 0);
    EXPECT_EQ(rec.calls, (std::vector<std::string>{"will", "open a.obm", "open b.obm", "did", "active",
                                                   "should", "terminate"}));
    Application::Shared()->Deactivate();
    rec.calls.clear();
    EXPECT_EQ(Run({}), 0);
    EXPECT_EQ(rec.calls,
              (std::vector<std::string>{"will", "did", "untitled", "active", "should", "terminate"}));
}

TEST_F(ApplicationTest, SignalsAskTheDelegateAndAVetoKeepsRunning) {
    rec.quitWhenActive = false;
    rec.vetoes = 1;
    int raised = 0;
    // SIGTERM first (vetoed), then SIGINT.
    auto timer = plat::RunLoopTimer::Create(
        plat::ClockNow() + 0.02, 0.02,
        [](plat::RunLoopTimer*, void* info) {
            int& n = *static_cast<int*>(info);
            raise(n++ == 0 ? SIGTERM : SIGINT);
        },
        &raised);
    EXPECT_TRUE(plat::RunLoop::Main()->AddTimer(timer.get(), plat::kRunLoopCommonModes));
    EXPECT_EQ(Run({}), 0);
    timer->Invalidate();
    timer = nullptr;
    EXPECT_EQ(raised, 2);
    EXPECT_EQ(rec.calls, (std::vector<std::string>{"will", "did", "untitled", "active", "should", "should",
                                                   "terminate"}));
}

TEST_F(ApplicationTest, UpdateRequestsMakeOneCycle) {
    rec.updatesToAsk = 3;
    EXPECT_EQ(Run({"x"}), 0);
    EXPECT_EQ(rec.calls,
              (std::vector<std::string>{"will", "open x", "did", "active", "update", "should", "terminate"}));
}

Event Ev(EventType type, int64_t data = 0) {
    Event e;
    e.type = type;
    e.data1 = data;
    return e;
}

TEST_F(ApplicationTest, QueueOrderMaskAndPeek) {
    Application* app = Application::Shared();
    app->PostEvent(Ev(EventType::kLeftMouseDown, 1), false);
    app->PostEvent(Ev(EventType::kKeyDown, 2), false);
    app->PostEvent(Ev(EventType::kApplicationDefined, 0), true);
    double now = plat::ClockNow();
    Event e;
    // Peek for keys: the key stays queued.
    ASSERT_TRUE(
        app->NextEvent(plat::EventMaskOf(EventType::kKeyDown), now, plat::kRunLoopDefaultMode, false, &e));
    EXPECT_EQ(e.data1, 2);
    EXPECT_EQ(app->QueuedEventCount(), 3u);
    std::vector<EventType> order;
    while (app->NextEvent(plat::kAnyEventMask, now, plat::kRunLoopDefaultMode, true, &e))
        order.push_back(e.type);
    EXPECT_EQ(order, (std::vector<EventType>{EventType::kApplicationDefined, EventType::kLeftMouseDown,
                                             EventType::kKeyDown}));
}

TEST_F(ApplicationTest, WaitEndsAtTheDeadlineOrWhenAnotherThreadPosts) {
    Application* app = Application::Shared();
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_FALSE(app->NextEvent(plat::kAnyEventMask, plat::ClockNow() + 0.03, plat::kModalPanelRunLoopMode,
                                true, nullptr));
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(30));

    std::thread poster([app] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        app->PostEvent(Ev(EventType::kApplicationDefined, 7), false);
    });
    t0 = std::chrono::steady_clock::now();
    Event e;
    EXPECT_TRUE(
        app->NextEvent(plat::kAnyEventMask, plat::ClockNow() + 10, plat::kRunLoopDefaultMode, true, &e));
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(5));
    EXPECT_EQ(e.data1, 7);
    poster.join();
}

}  // namespace
