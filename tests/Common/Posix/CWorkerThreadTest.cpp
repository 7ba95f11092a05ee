#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "Common/Posix/CPoolThread.h"
#include "Common/Posix/CWorkerThread.h"
#include "Lib3/LSources/CoreData/LTimer.h"
#include "Platform/Foundation/RunLoop.h"

namespace {

using Steady = std::chrono::steady_clock;

// Samples the millisecond clock as media time; each job takes fJobMs to consume.
class TestWorker : public CWorkerThread {
public:
    explicit TestWorker(uint32_t jobMs) : fJobMs(jobMs) { EXPECT_TRUE(StartThread()); }
    ~TestWorker() override { Stop(); }

    void Go(int64_t interval) {
        Begin(interval);
        SetState(kRunning);
    }

    std::mutex fMutex;
    std::vector<uint32_t> fMade;  // clock of each sample
    std::atomic<int> fConsumed{0};
    std::atomic<int> fConsumedAtFinish{-1};
    std::atomic<int> fCompleted{0};
    std::atomic<bool> fCompletedOnMain{false};
    uint32_t fJobMs;

protected:
    int64_t CurrentTime(uint32_t& nowMs) override {
        nowMs = LTimer::Now();
        return nowMs;
    }
    uint64_t MakeJob(void*) override {
        std::lock_guard<std::mutex> g(fMutex);
        fMade.push_back(LTimer::Now());
        return fMade.size();
    }
    void ConsumeJob(const Item&) override {
        usleep(fJobMs * 1000);
        ++fConsumed;
    }
    void FinishWork() override { fConsumedAtFinish = fConsumed.load(); }
    void CompleteFinish() override {
        fCompletedOnMain = plat::RunLoop::IsMainThread();
        ++fCompleted;
    }
};

TEST(CWorkerThreadTest, SamplingSlowsToTheConsumersPace) {
    TestWorker w(40);
    w.Go(0);
    auto t0 = Steady::now();
    while (Steady::now() - t0 < std::chrono::milliseconds(1500)) {
        w.Tick(nullptr);
        usleep(2000);
    }
    std::vector<uint32_t> made;
    {
        std::lock_guard<std::mutex> g(w.fMutex);
        made = w.fMade;
    }
    ASSERT_GE(made.size(), 12u);
    double mean = double(made.back() - made[made.size() - 11]) / 10.0;
    // Upper bounds leave room for a loaded machine stretching the 40 ms of work.
    EXPECT_GT(mean, 30.0);
    EXPECT_LT(mean, 160.0);
    EXPECT_GE(w.TickInterval(), 30u);
    EXPECT_LE(w.TickInterval(), 160u);
}

TEST(CWorkerThreadTest, TickAndFinishOnlyWhileRunning) {
    TestWorker w(1);
    w.Tick(nullptr);
    w.Finish();
    EXPECT_EQ(w.GetState(), CWorkerThread::kIdle);
    usleep(20000);
    EXPECT_TRUE(w.fMade.empty());
}

TEST(CWorkerThreadTest, FinishWaitsForTheQueueAndCompletesOnTheMainThread) {
    TestWorker w(15);
    w.Go(0);
    for (int i = 0; i < 3; ++i) {
        w.Tick(nullptr);
        usleep(12000);  // past the initial 10 ms tick interval
    }
    int made;
    {
        std::lock_guard<std::mutex> g(w.fMutex);
        made = int(w.fMade.size());
    }
    ASSERT_GE(made, 2);
    w.Finish();
    EXPECT_EQ(w.GetState(), CWorkerThread::kFinishRequested);
    auto t0 = Steady::now();
    while (w.fCompleted == 0 && Steady::now() - t0 < std::chrono::seconds(5))
        plat::RunLoop::Current()->RunInMode(plat::kRunLoopDefaultMode, 0.005, true);
    EXPECT_EQ(w.fCompleted, 1);
    EXPECT_TRUE(w.fCompletedOnMain);
    EXPECT_EQ(w.fConsumedAtFinish, made);
    EXPECT_EQ(w.GetState(), CWorkerThread::kIdle);
}

TEST(CWorkerThreadTest, StopIsPromptWhileTheWorkerWaits) {
    auto t0 = Steady::now();
    {
        TestWorker w(1);
        w.Go(0);
    }
    EXPECT_LT(Steady::now() - t0, std::chrono::milliseconds(500));
}

struct Gate {
    std::mutex m;
    std::condition_variable cv;
    bool open = false;
    std::set<std::thread::id> threads;
    static void Run(void* self) {
        auto* g = static_cast<Gate*>(self);
        std::unique_lock<std::mutex> lock(g->m);
        g->threads.insert(std::this_thread::get_id());
        g->cv.wait(lock, [&] { return g->open; });
    }
    void Open() {
        std::lock_guard<std::mutex> lock(m);
        open = true;
        cv.notify_all();
    }
};

bool WaitIdle(uint32_t n) {
    auto t0 = Steady::now();
    while (ThreadPoolIdleCount() < n)
        if (Steady::now() - t0 > std::chrono::seconds(5))
            return false;
        else
            usleep(500);
    return true;
}

TEST(CPoolThreadTest, BusyPoolGrowsAndIdleThreadsAreReused) {
    // Every idle thread plus two more: the last two calls find none idle and make new threads.
    const uint32_t n = ThreadPoolIdleCount() + 2;
    Gate first;
    std::set<CPoolThread*> made;
    for (uint32_t i = 0; i < n; ++i) made.insert(RunOnPoolThread(&Gate::Run, &first));
    EXPECT_EQ(made.size(), n);
    EXPECT_EQ(made.count(nullptr), 0u);
    first.Open();
    ASSERT_TRUE(WaitIdle(n));
    EXPECT_EQ(first.threads.size(), n);

    Gate second;
    std::set<CPoolThread*> reused;
    for (uint32_t i = 0; i < n; ++i) reused.insert(RunOnPoolThread(&Gate::Run, &second));
    EXPECT_EQ(reused, made);
    second.Open();
    ASSERT_TRUE(WaitIdle(n));
    EXPECT_EQ(second.threads, first.threads);
}

}  // namespace
