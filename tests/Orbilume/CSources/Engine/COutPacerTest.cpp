#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "Orbilume/CSources/Engine/COutPacer.h"

namespace {

// Host time in nanoseconds: one pacing unit is 100 000 ticks.
constexpr uint64_t kFreq = 1000000000ull;
constexpr uint64_t kUnit = kFreq / COutPacer::kUnitsPerSecond;

TEST(COutPacerTest, ConstantsFollowTheDisplayRate) {
    const struct {
        int32_t fps;
        uint32_t sane, period, half, frameMs, maxSkip, decay;
    } cases[] = {
        {60, 60, 166, 83, 16, 3, 1},
        {50, 50, 200, 100, 20, 2, 2},
        {24, 24, 416, 208, 41, 1, 4},
        {120, 120, 83, 41, 8, 6, 1},
        {100, 100, 100, 50, 10, 5, 1},
        {101, 101, 99, 49, 9, 5, 1},
        {15, 15, 666, 333, 66, 0, 6},
        {1000, 1000, 10, 5, 1, 50, 1},
        // From the display, outside input: kept within 1..1000 fps.
        {20000, 1000, 10, 5, 1, 50, 1},
        {10001, 1000, 10, 5, 1, 50, 1},
        {0, 1, 10000, 5000, 1000, 0, 100},
        {-7, 1, 10000, 5000, 1000, 0, 100},
    };
    for (const auto& c : cases) {
        COutPacer p;
        p.Start(c.fps, kFreq, 5 * kFreq);
        EXPECT_TRUE(p.Started());
        EXPECT_EQ(p.Fps(), c.sane) << c.fps;
        EXPECT_EQ(p.Period(), c.period) << c.fps;
        EXPECT_EQ(p.HalfPeriod(), c.half) << c.fps;
        EXPECT_EQ(p.FrameMs(), c.frameMs) << c.fps;
        EXPECT_EQ(p.MaxSkip(), c.maxSkip) << c.fps;
        EXPECT_EQ(p.DropDecay(), c.decay) << c.fps;
        EXPECT_EQ(p.Elapsed(), c.period) << c.fps;  // the first step counts as one period
    }
}

// One step lasting `units` pacing units (swap and render instant) gives the skip estimate.
TEST(COutPacerTest, FramesAreCountedToTheNearestPeriodAndCapped) {
    const struct {
        int32_t fps;
        double periods;
        uint32_t skip;
    } cases[] = {
        {60, 1.0, 0},  {60, 1.4, 0},  {60, 1.5, 1}, {60, 2.4, 1}, {60, 2.5, 2}, {60, 10, 2},  // max skip 3
        {60, 0.2, 0},                                                                         // 0 counts as 1
        {24, 3.0, 0},                                                                         // max skip 1
        {120, 5.0, 4}, {120, 9.0, 5},
    };
    for (const auto& c : cases) {
        COutPacer p;
        const uint64_t start = 7 * kFreq;
        p.Start(c.fps, kFreq, start);
        const uint64_t t2 = start + uint64_t(c.periods * p.Period()) * kUnit;
        p.Finish(start, start, t2, 1000);
        EXPECT_EQ(p.Skip(), c.skip) << c.fps << " Hz, " << c.periods << " periods";
    }
}

// A first skip of 2 frames at 60 Hz: the drop counter takes 32 ms, the lag is 0 and grows back to
// 32 ms as the counter falls by 3 per step of 3 frames; the skip holds for 3000 ms.
TEST(COutPacerTest, ADropRaisesTheCounterAndTheLagGrowsBack) {
    COutPacer p;
    uint64_t t = 9 * kFreq;
    p.Start(60, kFreq, t);
    uint32_t ms = 1000;
    t += 3 * 166 * kUnit;
    EXPECT_EQ(p.Finish(t, t, t, ms), 0);
    EXPECT_EQ(p.Skip(), 2u);
    EXPECT_EQ(p.DropCounter(), 32u);
    EXPECT_TRUE(p.DropShown());

    std::vector<int32_t> lags;
    for (int i = 0; i < 12; ++i) {
        const uint64_t begin = t + kUnit;
        (void)p.Elapse(begin, false);
        t += 3 * 166 * kUnit;
        ms += 50;
        lags.push_back(p.Finish(begin, begin, t, ms));
    }
    const std::vector<int32_t> expected{3, 6, 9, 12, 15, 18, 21, 24, 27, 30, 32, 32};
    EXPECT_EQ(lags, expected);
}

TEST(COutPacerTest, SkipHoldsForThreeSecondsThenTheEstimateTakesOver) {
    COutPacer p;
    uint64_t t = kFreq;
    p.Start(60, kFreq, t);
    t += 3 * 166 * kUnit;
    (void)p.Finish(t, t, t, 1000);
    ASSERT_EQ(p.Skip(), 2u);
    // Healthy steps: a short render, one period per step.
    auto step = [&](uint32_t ms) {
        const uint64_t begin = t + 5 * kUnit;
        (void)p.Elapse(begin, false);
        t += 166 * kUnit;
        return p.Finish(begin, begin + 5 * kUnit, t, ms);
    };
    for (uint32_t ms = 1016; ms < 4000; ms += 16) {
        step(ms);
        ASSERT_EQ(p.Skip(), 2u) << ms;
        ASSERT_TRUE(p.DropShown()) << ms;
    }
    step(4000);  // the hold ends; this step keeps the skip
    EXPECT_FALSE(p.DropShown());
    EXPECT_EQ(p.Skip(), 2u);
    step(4016);
    EXPECT_EQ(p.Skip(), 0u);
    EXPECT_EQ(p.Lag(), 0);
}

// The estimate is capped at max skip - 1; below 20 fps there is no skip, however slow the steps
// (the cap would otherwise wrap around to an uncapped estimate).
TEST(COutPacerTest, TheEstimateIsCappedAlsoBelowTwentyFps) {
    const struct {
        int32_t fps;
        uint32_t cap;
    } cases[] = {{60, 2}, {120, 5}, {24, 0}, {15, 0}, {1, 0}, {20000, 49}};
    for (const auto& c : cases) {
        COutPacer p;
        uint64_t t = kFreq;
        p.Start(c.fps, kFreq, t);
        // Slow renders and swaps: the statistical estimate runs far above every cap.
        const uint64_t period = uint64_t(p.Period()) * kUnit;
        for (int i = 0; i < 200; ++i) {
            const uint64_t begin = t + 40 * period;
            (void)p.Elapse(begin, false);
            p.Finish(begin, begin + 30 * period, begin + 30 * period, 1000 + 5000 * i);
            t = begin + 30 * period;
        }
        EXPECT_LE(p.Skip(), c.cap) << c.fps;
        const int32_t lag = p.Lag();
        EXPECT_GE(lag, -100) << c.fps;
        EXPECT_LE(lag, int32_t(p.MaxSkip() * p.FrameMs())) << c.fps;
    }
}

TEST(COutPacerTest, AdaptiveSleepWaitsOutTheSkippedFrames) {
    COutPacer p;
    uint64_t t = kFreq;
    p.Start(60, kFreq, t);
    EXPECT_EQ(p.Elapse(t + 10 * kUnit, true), 0u);  // no skip: no sleep
    t += 3 * 166 * kUnit;
    (void)p.Finish(t, t, t, 1000);
    ASSERT_EQ(p.Skip(), 2u);
    // (skip + 1) × period − (swap average / 16 + elapsed + half period)
    EXPECT_EQ(p.Elapse(t + 10 * kUnit, true), 3u * 166 - (0 + 10 + 83));
    EXPECT_EQ(p.Elapse(t + 10 * kUnit, false), 0u);
    EXPECT_EQ(p.Elapse(t + 600 * kUnit, true), 0u);  // already late: no sleep
}

TEST(COutPacerTest, StopMakesTheNextStepStartAfresh) {
    COutPacer p;
    p.Start(60, kFreq, kFreq);
    const uint64_t t = kFreq + 3 * 166 * kUnit;
    (void)p.Finish(t, t + 20 * kUnit, t, 1000);
    EXPECT_NE(p.SwapAverage(), 0u);
    p.Stop();
    EXPECT_FALSE(p.Started());
    p.Start(50, kFreq, 2 * kFreq);
    EXPECT_EQ(p.SwapAverage(), 0u);
    EXPECT_EQ(p.IntervalAverage(), 0u);
    EXPECT_EQ(p.Skip(), 0u);
    EXPECT_EQ(p.DropCounter(), 0u);
    EXPECT_FALSE(p.DropShown());
    EXPECT_EQ(p.Period(), 200u);
}

}  // namespace
