#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <thread>
#include <vector>

#include "Common/Posix/CPsxCond.h"

namespace {

class CondTest : public ::testing::Test {
protected:
    ~CondTest() override { pthread_mutex_destroy(&mutex); }
    pthread_mutex_t mutex = PTHREAD_MUTEX_INITIALIZER;
    CPsxCond cond;
    int ready = 0;
    int woken = 0;
};

TEST_F(CondTest, BroadcastWakesEveryWaiterWithTheMutexHeld) {
    std::vector<std::thread> waiters;
    for (int i = 0; i < 3; ++i) {
        waiters.emplace_back([this] {
            pthread_mutex_lock(&mutex);
            while (ready == 0) EXPECT_EQ(cond.Wait(mutex), 0);
            EXPECT_EQ(pthread_mutex_trylock(&mutex), EBUSY);  // held again on return
            ++woken;
            pthread_mutex_unlock(&mutex);
        });
    }
    pthread_mutex_lock(&mutex);
    ready = 1;
    cond.Broadcast();
    pthread_mutex_unlock(&mutex);
    for (std::thread& t : waiters) t.join();
    EXPECT_EQ(woken, 3);
}

TEST_F(CondTest, SignalWakesATimedWaiter) {
    std::thread waiter([this] {
        pthread_mutex_lock(&mutex);
        bool signalled = true;
        while (ready == 0 && signalled) signalled = cond.WaitFor(mutex, 10000);
        EXPECT_TRUE(signalled);
        pthread_mutex_unlock(&mutex);
    });
    pthread_mutex_lock(&mutex);
    ready = 1;
    cond.Signal();
    pthread_mutex_unlock(&mutex);
    waiter.join();
}

TEST_F(CondTest, TimedWaitGivesUpAfterItsTime) {
    pthread_mutex_lock(&mutex);
    const auto start = std::chrono::steady_clock::now();
    while (cond.WaitFor(mutex, 200)) {
        // Nobody signals: only a spurious wake-up gets here.
    }
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(pthread_mutex_trylock(&mutex), EBUSY);
    pthread_mutex_unlock(&mutex);
    EXPECT_GE(waited, std::chrono::milliseconds(200));
    EXPECT_LT(waited, std::chrono::seconds(10));
}

}  // namespace
