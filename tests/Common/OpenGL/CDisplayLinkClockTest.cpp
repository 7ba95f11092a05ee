#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "Common/OpenGL/CDisplayLinkClock.h"

namespace {

using Clock = std::chrono::steady_clock;

class CDisplayLinkClockTest : public ::testing::Test {
protected:
    void TearDown() override { plat::SetDisplayLinkSettings({}); }
    static void Use(bool manual, plat::VideoTime period = {1, 60, 0}, bool available = true) {
        plat::DisplayLinkSettings settings;
        settings.manualTicks = manual;
        settings.nominalPeriod = period;
        settings.available = available;
        plat::SetDisplayLinkSettings(settings);
    }
};

TEST_F(CDisplayLinkClockTest, RateOfPeriod) {
    struct Case {
        plat::VideoTime period;
        int32_t rate;
    };
    const Case cases[] = {
        {{1001, 60000, 0}, 60},
        {{1, 60, 0}, 60},
        {{1, 120, 0}, 120},
        {{1000, 23976, 0}, 24},
        {{1, 60, plat::kVideoTimeIsIndefinite}, 50},
        {{0, 60, 0}, 50},  // zero without the indefinite flag: no division by zero
        {{-1, 60, 0}, 50},
        {{1, 0, 0}, 50},
        {{3, 1, 0}, 50},  // rounds to 0 frames per second
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CDisplayLinkClock::RateOfPeriod(c.period, 50), c.rate)
            << c.period.value << "/" << c.period.scale << " flags " << c.period.flags;
    }
}

TEST_F(CDisplayLinkClockTest, StartLearnsTheRate) {
    Use(true, {1, 120, 0});
    CDisplayLinkClock clock;
    ASSERT_TRUE(clock.hasLink());
    EXPECT_EQ(clock.rate(), 60);
    clock.Start();
    EXPECT_EQ(clock.rate(), 120);
    EXPECT_TRUE(clock.link()->IsRunning());
}

TEST_F(CDisplayLinkClockTest, WaitEndsAtTheNextFakeTick) {
    Use(true, {1, 1, 0});  // 1 Hz: only the fake ticks can end a wait early
    CDisplayLinkClock clock;
    clock.Start();
    std::atomic<bool> done{false};
    bool ticked = false;
    std::thread waiter([&] {
        ticked = clock.WaitForVSync();
        done = true;
    });
    const auto start = Clock::now();
    while (!done && Clock::now() - start < std::chrono::seconds(1)) {
        clock.link()->Tick();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    waiter.join();
    EXPECT_TRUE(ticked);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(900));
}

TEST_F(CDisplayLinkClockTest, RealTicksEndWaits) {
    // A slow rate: a wait gives up after about two periods, which a loaded machine can miss at 200 Hz.
    Use(false, {1, 20, 0});
    CDisplayLinkClock clock;
    clock.Start();
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(clock.WaitForVSync());
}

TEST_F(CDisplayLinkClockTest, StoppedLinkTimesOutAfterAboutTwoPeriods) {
    Use(true, {1, 60, 0});
    CDisplayLinkClock clock;
    clock.Start();
    clock.link()->Stop();
    const auto start = Clock::now();
    EXPECT_FALSE(clock.WaitForVSync());
    const auto waited = Clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(30));
    EXPECT_LT(waited, std::chrono::milliseconds(500));
}

TEST_F(CDisplayLinkClockTest, WithoutALinkNothingBlocks) {
    Use(false, {1, 60, 0}, false);
    CDisplayLinkClock clock;
    EXPECT_FALSE(clock.hasLink());
    clock.Start();
    EXPECT_EQ(clock.rate(), 60);
    const auto start = Clock::now();
    EXPECT_FALSE(clock.WaitForVSync());
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(20));
}

TEST_F(CDisplayLinkClockTest, DestructionReleasesAWaiter) {
    Use(true, {1, 1, 0});  // a wait would last two seconds
    auto* clock = new CDisplayLinkClock;
    clock->Start();
    std::atomic<bool> waiting{false};
    bool ticked = true;
    std::thread waiter([&] {
        waiting = true;
        ticked = clock->WaitForVSync();
    });
    while (!waiting) std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const auto start = Clock::now();
    delete clock;
    waiter.join();
    EXPECT_FALSE(ticked);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1000));
}

// Closing wakes a wait at once (a 1 Hz link would hold it two seconds) and later waits return too.
TEST_F(CDisplayLinkClockTest, CloseWakesWaiters) {
    Use(true, {1, 1, 0});
    CDisplayLinkClock clock;
    clock.Start();
    ASSERT_TRUE(clock.hasLink());
    std::atomic<int> result{-1};
    const auto start = Clock::now();
    std::thread waiter([&] { result = clock.WaitForVSync() ? 1 : 0; });
    while (clock.Waiters() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    clock.Close();
    waiter.join();
    EXPECT_EQ(result.load(), 0);
    EXPECT_FALSE(clock.WaitForVSync());
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1500));
}

}  // namespace
