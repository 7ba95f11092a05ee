#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "Lib3/LSources/CoreData/CMainLoopBase.h"
#include "Lib3/LSources/CoreData/LAsyncMainLoop.h"
#include "Platform/Foundation/RunLoop.h"

namespace {

class Loop : public CMainLoopBase {
public:
    Loop() : CMainLoopBase(&fRoot) {}
    void RunModalStep() override {}
    void Quit() override {}
    void RequestUpdate() override {}
    CMacTimer* CreateTimer(TimerCallback, void*) override { return nullptr; }

private:
    LHandler fRoot{nullptr};
};

class Owner : public LHandler {
public:
    Owner() : LHandler(nullptr) {}
    LMessage Handle(const LMessage& msg) override {
        if (msg.Is(LHandler_Destructing)) return LMessage();
        EXPECT_EQ(std::this_thread::get_id(), fMain);
        if (msg.Is(LAsyncSignal_X)) ++signals;
        if (msg.Is(LAsyncTimer_Expire)) ++timers;
        if (msg.Is(LAsyncEvent_Note)) ++notes;
        if (on) on(msg);
        return LMessage();
    }
    std::atomic<int> signals{0}, timers{0}, notes{0};
    std::function<void(const LMessage&)> on;
    std::thread::id fMain = std::this_thread::get_id();
};

struct LAsyncMainLoopTest : ::testing::Test {
    Loop base;
    LAsyncMainLoop loop;
    bool RunUntil(const std::function<bool()>& done) {
        auto t0 = std::chrono::steady_clock::now();
        while (!done()) {
            if (std::chrono::steady_clock::now() - t0 > std::chrono::seconds(5)) return false;
            plat::RunLoop::Main()->RunInMode(plat::kRunLoopDefaultMode, 0.002, false);
            base.IdlePass();
        }
        return true;
    }
};

TEST_F(LAsyncMainLoopTest, SignalsFromOtherThreadsArriveOnTheMainThread) {
    Owner owner;
    LAsyncSignal signal(&owner, &loop);
    std::thread([&] {
        for (int i = 0; i < 100; ++i) signal.Raise();
    }).join();
    ASSERT_TRUE(RunUntil([&] { return owner.signals >= 1; }));
    EXPECT_FALSE(signal.IsQueued());
    EXPECT_LE(owner.signals, 2);  // raises before the loop turned coalesce
}

TEST_F(LAsyncMainLoopTest, ZeroTimerFiresFromTheLoopNotFromStart) {
    Owner owner;
    LAsyncTimer timer(&owner, &loop);
    loop.Lock();
    timer.Start(0);
    loop.Unlock();
    EXPECT_EQ(owner.timers, 0);
    ASSERT_TRUE(RunUntil([&] { return owner.timers == 1; }));
}

TEST_F(LAsyncMainLoopTest, TimersFireInDueOrderAndStoppedOnesNever) {
    Owner owner;
    LAsyncTimer late(&owner, &loop), early(&owner, &loop), stopped(&owner, &loop);
    std::vector<LHandler*> order;
    owner.on = [&](const LMessage& m) { order.push_back(m.sender); };
    late.Start(30);
    early.Start(5);
    stopped.Start(1);
    EXPECT_TRUE(stopped.Stop());
    ASSERT_TRUE(RunUntil([&] { return owner.timers == 2; }));
    ASSERT_EQ(order.size(), 2u);
    EXPECT_EQ(order[0], &early);
    EXPECT_EQ(order[1], &late);
}

TEST_F(LAsyncMainLoopTest, PostedEventsReachTheOwner) {
    Owner owner;
    LAsyncEvent event(&owner, &loop);
    std::thread([&] { event.Post(); }).join();
    event.Post();  // already posted: one note
    ASSERT_TRUE(RunUntil([&] { return owner.notes == 1; }));
    for (int i = 0; i < 20; ++i) {
        plat::RunLoop::Main()->RunInMode(plat::kRunLoopDefaultMode, 0.001, false);
        base.IdlePass();
    }
    EXPECT_EQ(owner.notes, 1);
}

}  // namespace
