#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "Lib3/LSources/CoreData/CMainLoopBase.h"
#include "Lib3/LSources/CoreData/LAsyncWorkerLoop.h"
#include "Lib3/LSources/Mac/CMacTimer.h"
#include "Platform/Foundation/RunLoop.h"

namespace {

using Steady = std::chrono::steady_clock;
double SecondsSince(Steady::time_point t) {
    return std::chrono::duration<double>(Steady::now() - t).count();
}

// Main-thread wake-up that counts how often it was fired.
class CountingTimer : public CMacTimer {
public:
    CountingTimer(Callback cb, void* ctx, std::atomic<int>* fires) : CMacTimer(cb, ctx), fFires(fires) {}
    void Fire() override {
        ++*fFires;
        CMacTimer::Fire();
    }
    std::atomic<int>* fFires;
};

class TestLoop : public CMainLoopBase {
public:
    TestLoop() : CMainLoopBase(&fRoot) {}
    void RunModalStep() override {}
    void Quit() override {}
    void RequestUpdate() override {}
    CMacTimer* CreateTimer(TimerCallback cb, void* ctx) override {
        return new CountingTimer(cb, ctx, &fires);
    }
    std::atomic<int> fires{0};

private:
    LHandler fRoot{nullptr};
};

// Counts the messages it receives and where; runs an optional action on each.
class Owner : public LHandler {
public:
    Owner() : LHandler(nullptr) {}
    LMessage Handle(const LMessage& msg) override {
        if (msg.Is(LAsyncSignal_X) || msg.Is(LAsyncTimer_Expire) || msg.Is(LAsyncEvent_Note)) {
            if (msg.Is(LAsyncSignal_X)) ++signals;
            if (msg.Is(LAsyncTimer_Expire)) ++timers;
            if (msg.Is(LAsyncEvent_Note)) ++notes;
            if (std::this_thread::get_id() == mainThread)
                ++onMain;
            else
                ++offMain;
            if (on) on(msg);
            return LMessage();
        }
        return LHandler::Handle(msg);
    }
    std::atomic<int> signals{0}, timers{0}, notes{0}, onMain{0}, offMain{0};
    std::thread::id mainThread = std::this_thread::get_id();
    std::function<void(const LMessage&)> on;
};

struct LAsyncTest : ::testing::Test {
    TestLoop main;
    std::unique_ptr<LAsyncWorkerLoop> loop = std::make_unique<LAsyncWorkerLoop>(&main);

    // Runs the main thread (its run loop and idle passes) until done() or five seconds.
    bool RunMainUntil(const std::function<bool()>& done) {
        auto t0 = Steady::now();
        while (!done()) {
            if (SecondsSince(t0) > 5) return false;
            plat::RunLoop::Main()->RunInMode(plat::kRunLoopDefaultMode, 0.002, false);
            main.IdlePass();
        }
        return true;
    }
    void Spin(int turns) {
        for (int i = 0; i < turns; ++i) {
            plat::RunLoop::Main()->RunInMode(plat::kRunLoopDefaultMode, 0.002, false);
            main.IdlePass();
        }
    }
    static bool WaitFor(const std::function<bool()>& done) {
        auto t0 = Steady::now();
        while (!done()) {
            if (SecondsSince(t0) > 5) return false;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        return true;
    }
};

TEST_F(LAsyncTest, RaisesBeforeTheLoopTurnsCoalesce) {
    Owner owner;
    LAsyncSignal signal(&owner, loop.get());
    loop->Lock();  // the worker delivers only while it holds the loop lock
    for (int i = 0; i < 10; ++i) signal.Raise();
    loop->Unlock();
    ASSERT_TRUE(WaitFor([&] { return owner.signals == 1 && !signal.IsQueued(); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(owner.signals, 1);
    EXPECT_EQ(owner.onMain, 0);
}

TEST_F(LAsyncTest, SignalsFromManyThreadsRunOnTheWorkerWithOneAfterTheLastRaise) {
    constexpr int kThreads = 4, kEach = 2500;
    Owner owner;
    LAsyncSignal signal(&owner, loop.get());
    std::atomic<int> raised{0}, seenAtLastDelivery{0};
    owner.on = [&](const LMessage&) { seenAtLastDelivery = raised.load(); };
    std::vector<std::thread> raisers;
    for (int t = 0; t < kThreads; ++t)
        raisers.emplace_back([&] {
            for (int i = 0; i < kEach; ++i) {
                ++raised;
                signal.Raise();
            }
        });
    for (auto& r : raisers) r.join();
    EXPECT_TRUE(WaitFor([&] { return seenAtLastDelivery == kThreads * kEach; }));
    EXPECT_GE(owner.signals, 1);
    EXPECT_LE(owner.signals, kThreads * kEach);
    EXPECT_EQ(owner.onMain, 0);
}

TEST_F(LAsyncTest, SignalRaisedFromItsOwnHandlerIsDeliveredAgain) {
    Owner owner;
    LAsyncSignal signal(&owner, loop.get());
    owner.on = [&](const LMessage&) {
        if (owner.signals == 1) signal.Raise();
    };
    signal.Raise();
    EXPECT_TRUE(WaitFor([&] { return owner.signals == 2; }));
}

TEST_F(LAsyncTest, DestroyingAQueuedSignalSendsNothing) {
    Owner owner;
    loop->Lock();
    {
        LAsyncSignal signal(&owner, loop.get());
        signal.Raise();
        EXPECT_TRUE(signal.IsQueued());
    }
    loop->Unlock();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(owner.signals, 0);
}

TEST_F(LAsyncTest, LoopTimersFireInDueOrderOnTheWorker) {
    Owner owner;
    std::vector<LHandler*> order;
    std::mutex m;
    owner.on = [&](const LMessage& msg) {
        std::lock_guard<std::mutex> g(m);
        order.push_back(msg.sender);
    };
    LAsyncTimer late(&owner, loop.get()), early(&owner, loop.get()), stopped(&owner, loop.get());
    late.Start(40);
    early.Start(5);
    stopped.Start(20);
    stopped.Start(1000);  // restarting moves it; the stop below comes long before it is due
    bool wasArmed = false;
    std::thread([&] { wasArmed = stopped.Stop(); }).join();
    EXPECT_TRUE(wasArmed);
    EXPECT_FALSE(stopped.Stop());
    // The count goes up before the handler records the order: wait for the record.
    ASSERT_TRUE(WaitFor([&] {
        std::lock_guard<std::mutex> g(m);
        return order.size() == 2;
    }));
    std::lock_guard<std::mutex> g(m);
    EXPECT_EQ(order, (std::vector<LHandler*>{&early, &late}));
    EXPECT_EQ(owner.onMain, 0);
}

TEST_F(LAsyncTest, WorkerWaitsWithNothingToDo) {
    EXPECT_TRUE(WaitFor([&] { return loop->RunLoop()->IsWaiting(); }));
}

TEST_F(LAsyncTest, BurstOfPostsCostsOneWakeUpAndDeliversEachEventOnce) {
    constexpr int kEvents = 100;
    Owner owner;
    std::vector<std::unique_ptr<LAsyncEvent>> events;
    for (int i = 0; i < kEvents; ++i) events.push_back(std::make_unique<LAsyncEvent>(&owner, loop.get()));
    // Post from the worker thread, twice each: the second posting finds the event queued.
    Owner poster;
    std::atomic<bool> posted{false};
    poster.on = [&](const LMessage&) {
        for (auto& e : events) e->Post();
        for (auto& e : events) e->Post();
        posted = true;
    };
    LAsyncSignal go(&poster, loop.get());
    go.Raise();
    ASSERT_TRUE(WaitFor([&] { return posted.load(); }));
    EXPECT_EQ(main.fires, 1);
    ASSERT_TRUE(RunMainUntil([&] { return owner.notes == kEvents; }));
    Spin(10);
    EXPECT_EQ(owner.notes, kEvents);
    EXPECT_EQ(owner.offMain, 0);
    EXPECT_EQ(main.fires, 1);
    for (auto& e : events) EXPECT_FALSE(e->IsPending());
}

TEST_F(LAsyncTest, EventCancelledBeforeTheDrainDeliversNothing) {
    Owner owner;
    LAsyncEvent event(&owner, loop.get());
    event.Post();
    EXPECT_TRUE(event.IsPending());
    event.Cancel();
    EXPECT_FALSE(event.IsPending());
    Spin(10);
    EXPECT_EQ(owner.notes, 0);
}

TEST_F(LAsyncTest, EventCancelledOrDestroyedOffTheMainThreadWhileWaiting) {
    Owner owner;
    LAsyncEvent cancelled(&owner, loop.get()), reposted(&owner, loop.get());
    auto* destroyed = new LAsyncEvent(&owner, loop.get());
    cancelled.Post();
    reposted.Post();
    destroyed->Post();
    // Turn the main run loop without idle passes: the notes wait in their main-thread timers.
    auto t0 = Steady::now();
    while (!(cancelled.IsWaiting() && reposted.IsWaiting() && destroyed->IsWaiting()) && SecondsSince(t0) < 5)
        plat::RunLoop::Main()->RunInMode(plat::kRunLoopDefaultMode, 0.002, false);
    ASSERT_TRUE(destroyed->IsWaiting());
    std::thread([&] {
        cancelled.Cancel();
        reposted.Cancel();
        reposted.Post();
        delete destroyed;
    }).join();
    ASSERT_TRUE(RunMainUntil([&] { return owner.notes >= 1; }));
    Spin(10);
    EXPECT_EQ(owner.notes, 1);  // only the reposted one
    EXPECT_EQ(owner.offMain, 0);
    EXPECT_FALSE(cancelled.IsPending());
    EXPECT_FALSE(reposted.IsPending());
}

TEST_F(LAsyncTest, EventCancelledOnTheMainThreadWhileWaiting) {
    Owner owner;
    LAsyncEvent event(&owner, loop.get());
    event.Post();
    auto t0 = Steady::now();
    while (!event.IsWaiting() && SecondsSince(t0) < 5)
        plat::RunLoop::Main()->RunInMode(plat::kRunLoopDefaultMode, 0.002, false);
    ASSERT_TRUE(event.IsWaiting());
    event.Cancel();
    Spin(10);
    EXPECT_EQ(owner.notes, 0);
    event.Post();
    t0 = Steady::now();
    while (!event.IsWaiting() && SecondsSince(t0) < 5)
        plat::RunLoop::Main()->RunInMode(plat::kRunLoopDefaultMode, 0.002, false);
    event.Post();  // already waiting for the main thread: no second note
    EXPECT_TRUE(RunMainUntil([&] { return owner.notes == 1; }));
    Spin(10);
    EXPECT_EQ(owner.notes, 1);
}

}  // namespace
