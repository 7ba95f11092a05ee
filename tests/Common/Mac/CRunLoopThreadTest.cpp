#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "Common/Mac/CRunLoopSignal.h"
#include "Common/Mac/CRunLoopThread.h"
#include "Common/Mac/CRunLoopTimer.h"
#include "Platform/Foundation/RunLoop.h"

namespace {

using Steady = std::chrono::steady_clock;
double SecondsSince(Steady::time_point t) {
    return std::chrono::duration<double>(Steady::now() - t).count();
}

struct Calls {
    std::atomic<int> count{0};
    std::atomic<bool> offThread{false};
    std::thread::id expected = std::this_thread::get_id();
    static void Call(void* self) {
        auto* c = static_cast<Calls*>(self);
        if (std::this_thread::get_id() != c->expected) c->offThread = true;
        c->count++;
    }
};

void RunMainUntil(const std::function<bool()>& done, double seconds = 5.0) {
    auto t0 = Steady::now();
    while (!done() && SecondsSince(t0) < seconds)
        plat::RunLoop::Current()->RunInMode(plat::kRunLoopDefaultMode, 0.05, true);
}

TEST(CRunLoopSignalTest, SignalsFromManyThreadsRunOnTheOwningThread) {
    Calls calls;
    CRunLoopSignal signal(&calls, &Calls::Call);
    for (int i = 0; i < 10; ++i) signal.Signal();
    plat::RunLoop::Current()->RunInMode(plat::kRunLoopDefaultMode, 0, false);
    EXPECT_EQ(calls.count, 1);

    std::vector<std::thread> raisers;
    for (int t = 0; t < 4; ++t)
        raisers.emplace_back([&] {
            for (int i = 0; i < 2500; ++i) signal.Signal();
        });
    for (auto& r : raisers) r.join();
    int before = calls.count;
    RunMainUntil([&] { return calls.count > before; });
    EXPECT_GT(calls.count, before);  // at least one call after the last signal
    EXPECT_FALSE(calls.offThread);
}

TEST(CRunLoopThreadTest, StopIsPromptWhileRunningAndBeforeRunning) {
    {
        CRunLoopThread t;
        ASSERT_TRUE(t.Start(0));
        plat::RunLoop* loop = t.WaitForRunLoop();
        ASSERT_NE(loop, nullptr);
        loop->Release();
        auto t0 = Steady::now();
        t.Stop();
        EXPECT_LT(SecondsSince(t0), 1.0);
        EXPECT_EQ(t.WaitForRunLoop(), nullptr);
    }
    {
        CRunLoopThread t;
        t.Stop();  // before the thread exists
        auto t0 = Steady::now();
        ASSERT_TRUE(t.Start(0));
        t.Stop();
        EXPECT_LT(SecondsSince(t0), 1.0);
    }
    {
        // The stop lands between thread start and run: the loop must not run on forever.
        for (int i = 0; i < 20; ++i) {
            CRunLoopThread t;
            ASSERT_TRUE(t.Start(0));
            auto t0 = Steady::now();
            t.Stop();
            EXPECT_LT(SecondsSince(t0), 1.0);
        }
    }
}

// A timer callback that runs the thread's loop again inside itself, as a modal session does.
struct NestedRun {
    bool returnAfterSource = false;
    std::atomic<bool> entered{false};
    std::atomic<bool> left{false};
    static void Fire(void* self) {
        auto* n = static_cast<NestedRun*>(self);
        n->entered = true;
        plat::RunLoop::Current()->RunInMode(plat::kRunLoopDefaultMode, 30, n->returnAfterSource);
        n->left = true;
    }
};

TEST(CRunLoopThreadTest, StopEndsTheOuterRunWhenANestedRunTookTheStop) {
    for (bool returnAfterSource : {false, true}) {
        SCOPED_TRACE(returnAfterSource);
        CRunLoopThread t;
        ASSERT_TRUE(t.Start(0));
        plat::RunLoop* loop = t.WaitForRunLoop();
        ASSERT_NE(loop, nullptr);
        NestedRun nested;
        nested.returnAfterSource = returnAfterSource;
        CRunLoopTimer timer(&t, &nested, &NestedRun::Fire);
        timer.FireAfter(0);
        auto t0 = Steady::now();
        while (!nested.entered && SecondsSince(t0) < 5)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_TRUE(nested.entered);

        std::atomic<bool> stopped{false};
        std::thread stopper([&] {
            t.Stop();
            stopped = true;
        });
        t0 = Steady::now();
        while (!stopped && SecondsSince(t0) < 5) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        EXPECT_TRUE(stopped) << "Stop is still waiting for the thread's run to end";
        EXPECT_TRUE(nested.left);
        // Unsticks a failing run so that the test ends.
        while (!stopped) {
            loop->Stop();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        stopper.join();
        loop->Release();
    }
}

struct Rearming {
    CRunLoopTimer* timer = nullptr;
    std::atomic<int> count{0};
    std::atomic<bool> onLoopThread{true};
    std::thread::id caller = std::this_thread::get_id();
    static void Fire(void* self) {
        auto* r = static_cast<Rearming*>(self);
        if (std::this_thread::get_id() == r->caller) r->onLoopThread = false;
        if (++r->count < 5) r->timer->FireAfter(0);
    }
};

TEST(CRunLoopTimerTest, FiresOnTheLoopThreadAndRearmsFromItsCallback) {
    CRunLoopThread t;
    ASSERT_TRUE(t.Start(0));
    Rearming r;
    CRunLoopTimer timer(&t, &r, &Rearming::Fire);
    r.timer = &timer;
    timer.FireAfter(1);
    auto t0 = Steady::now();
    while (r.count < 5 && SecondsSince(t0) < 5) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(r.count, 5);
    EXPECT_TRUE(r.onLoopThread);
    t.Stop();
}

TEST(CRunLoopTimerTest, FireAfterOnAStoppedThreadReturns) {
    CRunLoopThread t;
    ASSERT_TRUE(t.Start(0));
    t.Stop();
    Calls calls;
    CRunLoopTimer timer(&t, &calls, &Calls::Call);
    auto t0 = Steady::now();
    timer.FireAfter(0);
    EXPECT_LT(SecondsSince(t0), 1.0);
    EXPECT_EQ(calls.count, 0);
}

TEST(CRunLoopTimerTest, MainRunLoopSourceCarriesTimersToTheMainThread) {
    Calls calls;
    CRunLoopTimer timer(CMainRunLoopSource::Get(), &calls, &Calls::Call);
    std::thread([&] { timer.FireAfter(0); }).join();
    RunMainUntil([&] { return calls.count > 0; });
    EXPECT_EQ(calls.count, 1);
    EXPECT_FALSE(calls.offThread);
}

}  // namespace
