#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/RunLoop.h"
#include "tests/support/FakeClock.h"

using namespace plat;

namespace {

using Steady = std::chrono::steady_clock;

double SecondsSince(Steady::time_point t) {
    return std::chrono::duration<double>(Steady::now() - t).count();
}

using plat::Ref;

struct Counter {
    std::atomic<int> count{0};
    std::atomic<std::thread::id> lastThread{};
    RunLoopMode modeSeen = kRunLoopNoMode;
    static void Perform(void* info) {
        auto* c = static_cast<Counter*>(info);
        c->count++;
        c->lastThread = std::this_thread::get_id();
        c->modeSeen = RunLoop::Current()->CurrentMode();
    }
    static void Fire(RunLoopTimer*, void* info) { Perform(info); }
};

// A loop on its own thread that runs until stopped.
struct LoopThread {
    std::atomic<RunLoop*> loop{nullptr};
    std::thread thread;
    Ref<RunLoopSource> keepAlive{RunLoopSource::Create(nullptr, nullptr)};
    LoopThread() {
        thread = std::thread([this] {
            RunLoop* l = RunLoop::Current();
            EXPECT_TRUE(l->AddSource(keepAlive.get(), kRunLoopCommonModes));
            l->Retain();  // the thread releases its loop as it ends, maybe while Stop still wakes it
            loop = l;
            l->Run();
        });
        while (!loop) std::this_thread::yield();
    }
    ~LoopThread() {
        loop.load()->Stop();
        thread.join();
        loop.load()->Release();
    }
};

TEST(RunLoopTest, EachThreadHasItsOwnLoopAndMainIsTheMainThreads) {
    RunLoop* mine = RunLoop::Current();
    EXPECT_EQ(mine, RunLoop::Current());
    EXPECT_EQ(mine, RunLoop::Main());
    RunLoop* other = nullptr;
    RunLoop* mainSeen = nullptr;
    std::thread([&] {
        other = RunLoop::Current();
        mainSeen = RunLoop::Main();
    }).join();
    EXPECT_NE(other, mine);
    EXPECT_EQ(mainSeen, mine);
}

TEST(RunLoopTest, EmptyModeFinishesAtOnce) {
    auto* loop = RunLoop::Current();
    EXPECT_EQ(loop->RunInMode(kModalPanelRunLoopMode, 5.0, false), RunLoopResult::kFinished);
    EXPECT_EQ(loop->CurrentMode(), kRunLoopNoMode);
}

TEST(RunLoopTest, StopBeforeRunIsSticky) {
    auto* loop = RunLoop::Current();
    Ref<RunLoopSource> s(RunLoopSource::Create(nullptr, nullptr));
    EXPECT_TRUE(loop->AddSource(s.get(), kRunLoopDefaultMode));
    loop->Stop();
    auto t0 = Steady::now();
    EXPECT_EQ(loop->RunInMode(kRunLoopDefaultMode, 5.0, false), RunLoopResult::kStopped);
    EXPECT_LT(SecondsSince(t0), 1.0);
    // Consumed: the next run waits its time out.
    EXPECT_EQ(loop->RunInMode(kRunLoopDefaultMode, 0.02, false), RunLoopResult::kTimedOut);
    s->Invalidate();
}

TEST(RunLoopTest, StopFromAnotherThreadEndsRunPromptly) {
    std::atomic<RunLoop*> loop{nullptr};
    Ref<RunLoopSource> s(RunLoopSource::Create(nullptr, nullptr));
    std::thread th([&] {
        EXPECT_TRUE(RunLoop::Current()->AddSource(s.get(), kRunLoopDefaultMode));
        loop = RunLoop::Current();
        RunLoop::Current()->Run();
    });
    while (!loop.load() || !loop.load()->IsWaiting()) std::this_thread::yield();
    auto t0 = Steady::now();
    loop.load()->Stop();
    th.join();
    EXPECT_LT(SecondsSince(t0), 1.0);
}

TEST(RunLoopTest, SignalsFromManyThreadsCoalesceAndRunOnTheLoopThread) {
    Counter c;
    Ref<RunLoopSource> s(RunLoopSource::Create(&Counter::Perform, &c));
    auto* loop = RunLoop::Current();
    EXPECT_TRUE(loop->AddSource(s.get(), kRunLoopCommonModes));
    for (int i = 0; i < 10; ++i) s->Signal();
    EXPECT_EQ(loop->RunInMode(kRunLoopDefaultMode, 1.0, true), RunLoopResult::kHandledSource);
    EXPECT_EQ(c.count, 1);

    std::atomic<bool> done{false};
    std::vector<std::thread> raisers;
    for (int t = 0; t < 4; ++t)
        raisers.emplace_back([&] {
            for (int i = 0; i < 2000; ++i) s->Signal();
        });
    std::thread joiner([&] {
        for (auto& r : raisers) r.join();
        done = true;
        loop->WakeUp();
    });
    while (!done) loop->RunInMode(kRunLoopDefaultMode, 0.5, true);
    joiner.join();
    int before = c.count;
    // Whatever was signalled last is still delivered.
    loop->RunInMode(kRunLoopDefaultMode, 0.0, false);
    EXPECT_GE(c.count, 2);
    EXPECT_LE(c.count, before + 1);
    EXPECT_EQ(c.lastThread.load(), std::this_thread::get_id());
    s->Invalidate();
    s->Signal();
    EXPECT_FALSE(s->IsSignalled());
}

TEST(RunLoopTest, ModesGateSourcesAndTimers) {
    testsupport::FakeClock clock;
    auto* loop = RunLoop::Current();
    Counter inDefault, inCommon;
    Ref<RunLoopTimer> t1(RunLoopTimer::Create(clock.Now(), 0, &Counter::Fire, &inDefault));
    Ref<RunLoopTimer> t2(RunLoopTimer::Create(clock.Now(), 0, &Counter::Fire, &inCommon));
    EXPECT_TRUE(loop->AddTimer(t1.get(), kRunLoopDefaultMode));
    EXPECT_TRUE(loop->AddTimer(t2.get(), kRunLoopCommonModes));
    EXPECT_TRUE(loop->Contains(t2.get(), kModalPanelRunLoopMode));
    EXPECT_FALSE(loop->Contains(t1.get(), kModalPanelRunLoopMode));

    loop->RunInMode(kModalPanelRunLoopMode, 0, false);
    EXPECT_EQ(inDefault.count, 0);
    EXPECT_EQ(inCommon.count, 1);
    EXPECT_EQ(inCommon.modeSeen, kModalPanelRunLoopMode);
    EXPECT_FALSE(t2->IsValid());  // one-shot timers end after firing

    loop->RunInMode(kRunLoopDefaultMode, 0, false);
    EXPECT_EQ(inDefault.count, 1);
    EXPECT_EQ(inDefault.modeSeen, kRunLoopDefaultMode);
}

TEST(RunLoopTest, RepeatingTimerSkipsMissedFirings) {
    testsupport::FakeClock clock(100.0);
    auto* loop = RunLoop::Current();
    Counter c;
    Ref<RunLoopTimer> t(RunLoopTimer::Create(100.5, 1.0, &Counter::Fire, &c));
    EXPECT_TRUE(loop->AddTimer(t.get(), kRunLoopDefaultMode));
    loop->RunInMode(kRunLoopDefaultMode, 0, false);
    EXPECT_EQ(c.count, 0);
    clock.Set(105.7);  // five periods late
    loop->RunInMode(kRunLoopDefaultMode, 0, false);
    EXPECT_EQ(c.count, 1);
    EXPECT_DOUBLE_EQ(t->NextFireDate(), 106.5);
    loop->RunInMode(kRunLoopDefaultMode, 0, false);
    EXPECT_EQ(c.count, 1);
    t->Invalidate();
}

TEST(RunLoopTest, FireDateMovedFromAnotherThreadWakesTheLoop) {
    LoopThread lt;
    Counter c;
    Ref<RunLoopTimer> t(RunLoopTimer::Create(ClockNow() + 1e9, 1e9, &Counter::Fire, &c));
    EXPECT_TRUE(lt.loop.load()->AddTimer(t.get(), kRunLoopCommonModes));
    auto t0 = Steady::now();
    t->SetNextFireDate(ClockNow());
    while (c.count == 0 && SecondsSince(t0) < 5) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(c.count, 1);
    EXPECT_LT(SecondsSince(t0), 1.0);
    EXPECT_NE(c.lastThread.load(), std::this_thread::get_id());
    t->Invalidate();
}

TEST(RunLoopTest, TimerSetFromItsOwnCallbackKeepsThatDate) {
    testsupport::FakeClock clock(10.0);
    struct Ctx {
        int fired = 0;
        static void Fire(RunLoopTimer* t, void* info) {
            static_cast<Ctx*>(info)->fired++;
            t->SetNextFireDate(ClockNow() + 0.25);
        }
    } ctx;
    auto* loop = RunLoop::Current();
    Ref<RunLoopTimer> t(RunLoopTimer::Create(10.0, 0, &Ctx::Fire, &ctx));
    EXPECT_TRUE(loop->AddTimer(t.get(), kRunLoopDefaultMode));
    loop->RunInMode(kRunLoopDefaultMode, 0, false);
    EXPECT_EQ(ctx.fired, 1);
    EXPECT_TRUE(t->IsValid());  // not ended: the callback re-armed it
    EXPECT_DOUBLE_EQ(t->NextFireDate(), 10.25);
    t->Invalidate();
}

TEST(RunLoopTest, RunInModeTimesOutOnTheClock) {
    testsupport::FakeClock clock(50.0);
    auto* loop = RunLoop::Current();
    Ref<RunLoopSource> s(RunLoopSource::Create(nullptr, nullptr));
    EXPECT_TRUE(loop->AddSource(s.get(), kRunLoopDefaultMode));
    std::thread mover([&] {
        while (!loop->IsWaiting()) std::this_thread::yield();
        clock.Advance(2.0);
    });
    auto t0 = Steady::now();
    EXPECT_EQ(loop->RunInMode(kRunLoopDefaultMode, 1.0, false), RunLoopResult::kTimedOut);
    EXPECT_LT(SecondsSince(t0), 0.9);  // fake time ran out, not real time
    mover.join();
    s->Invalidate();
}

TEST(RunLoopTest, DescriptorSourceReportsReadinessInItsModes) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    struct Ctx {
        int calls = 0;
        uint32_t ready = 0;
        static void Ready(FdSource*, int fd, uint32_t ready, void* info) {
            auto* c = static_cast<Ctx*>(info);
            c->calls++;
            c->ready = ready;
            char b;
            if (ready & FdSource::kReadable) (void)!read(fd, &b, 1);
        }
    } ctx;
    auto* loop = RunLoop::Current();
    Ref<FdSource> s(FdSource::Create(fds[0], FdSource::kReadable, &Ctx::Ready, &ctx));
    EXPECT_TRUE(loop->AddFdSource(s.get(), kRunLoopDefaultMode));
    Ref<RunLoopSource> other(RunLoopSource::Create(nullptr, nullptr));
    EXPECT_TRUE(loop->AddSource(other.get(), kModalPanelRunLoopMode));

    ASSERT_EQ(write(fds[1], "x", 1), 1);
    EXPECT_EQ(loop->RunInMode(kModalPanelRunLoopMode, 0.02, true), RunLoopResult::kTimedOut);
    EXPECT_EQ(ctx.calls, 0);
    EXPECT_EQ(loop->RunInMode(kRunLoopDefaultMode, 1.0, true), RunLoopResult::kHandledSource);
    EXPECT_EQ(ctx.calls, 1);
    EXPECT_TRUE(ctx.ready & FdSource::kReadable);

    s->Invalidate();
    ASSERT_EQ(write(fds[1], "y", 1), 1);
    loop->RunInMode(kRunLoopDefaultMode, 0.02, true);
    EXPECT_EQ(ctx.calls, 1);
    other->Invalidate();
    close(fds[0]);
    close(fds[1]);
}

TEST(RunLoopTest, ReturnAfterSourceHandlesOneSourceAtATime) {
    auto* loop = RunLoop::Current();
    Counter a, b;
    Ref<RunLoopSource> sa(RunLoopSource::Create(&Counter::Perform, &a));
    Ref<RunLoopSource> sb(RunLoopSource::Create(&Counter::Perform, &b));
    EXPECT_TRUE(loop->AddSource(sa.get(), kRunLoopDefaultMode));
    EXPECT_TRUE(loop->AddSource(sb.get(), kRunLoopDefaultMode));
    sa->Signal();
    sb->Signal();
    EXPECT_EQ(loop->RunInMode(kRunLoopDefaultMode, 1.0, true), RunLoopResult::kHandledSource);
    EXPECT_EQ(a.count + b.count, 1);
    EXPECT_EQ(loop->RunInMode(kRunLoopDefaultMode, 1.0, true), RunLoopResult::kHandledSource);
    EXPECT_EQ(a.count + b.count, 2);
    sa->Invalidate();
    sb->Invalidate();
    EXPECT_EQ(loop->RunInMode(kRunLoopDefaultMode, 1.0, true), RunLoopResult::kFinished);
}

TEST(RunLoopTest, ItemsBelongToOneLoop) {
    LoopThread lt;
    Ref<RunLoopSource> s(RunLoopSource::Create(nullptr, nullptr));
    EXPECT_TRUE(lt.loop.load()->AddSource(s.get(), kRunLoopDefaultMode));
    EXPECT_FALSE(RunLoop::Current()->AddSource(s.get(), kRunLoopDefaultMode));
    lt.loop.load()->Remove(s.get(), kRunLoopDefaultMode);
    EXPECT_TRUE(RunLoop::Current()->AddSource(s.get(), kRunLoopDefaultMode));
    s->Invalidate();
    EXPECT_FALSE(RunLoop::Current()->AddSource(s.get(), kRunLoopDefaultMode));
}

TEST(RunLoopTest, ItemsCalledFromOtherThreadsWhileTheirLoopsThreadEnds) {
    // Each round a thread adds the items to its loop and ends, which frees the loop, while this
    // thread keeps signalling, re-dating and invalidating them.
    for (int round = 0; round < 50; ++round) {
        Ref<RunLoopSource> s(RunLoopSource::Create(nullptr, nullptr));
        Ref<RunLoopTimer> t(RunLoopTimer::Create(ClockNow() + 1e9, 0, nullptr, nullptr));
        std::atomic<bool> added{false};
        std::thread th([&] {
            EXPECT_TRUE(RunLoop::Current()->AddSource(s.get(), kRunLoopDefaultMode));
            EXPECT_TRUE(RunLoop::Current()->AddTimer(t.get(), kRunLoopDefaultMode));
            added = true;
            RunLoop::Current()->RunInMode(kRunLoopDefaultMode, 0, false);
        });
        while (!added) std::this_thread::yield();
        for (int i = 0; i < 200; ++i) {
            s->Signal();
            t->SetNextFireDate(ClockNow() + 1e9 + i);
            if (i == 150 && round % 2) s->Invalidate();
        }
        th.join();
        // The loop is gone: its items are free again.
        EXPECT_EQ(s->IsValid(), round % 2 == 0);
        EXPECT_EQ(RunLoop::Current()->AddTimer(t.get(), kRunLoopDefaultMode), true);
        EXPECT_TRUE(RunLoop::Current()->Contains(t.get(), kRunLoopDefaultMode));
        t->Invalidate();
        s->Invalidate();
    }
}

}  // namespace
