#include <gtest/gtest.h>

#include <cstdint>

#include "Orbilume/CSources/Media/CRateChase.h"

namespace {

constexpr double kLatency = 0.5;

struct ChaseRun {
    int32_t lastAction = 0;
    float rate = 0;
    int setRates = 0;
};

// A target moving at `speed` from `from`, the movie `behind` seconds behind it, a call every 100 ms
// from nowMs for `calls` calls, after a first call that seeks.
ChaseRun Chase(CRateChase& chase, uint32_t nowMs, double from, double speed, double behind, int calls) {
    ChaseRun run;
    EXPECT_EQ(chase.Step(nowMs, from, from + 3, kLatency, 1.0), CRateChase::kSeek);
    for (int i = 1; i <= calls; ++i) {
        nowMs += 100;
        const double target = from + speed * i * 0.1;
        run.lastAction = chase.Step(nowMs, target, target - behind, kLatency, 1.0);
        if (run.lastAction == CRateChase::kSetRate) {
            run.rate = chase.Rate();
            ++run.setRates;
        }
    }
    return run;
}

TEST(CRateChase, RateAfterTheFirstWindowMakesUpTheDistance) {
    struct Case {
        const char* what;
        uint32_t startMs;
        double speed;
        double behind;
        double rate;
    };
    const Case cases[] = {
        {"0.3 s behind", 1000, 1.0, 0.3, 1.3},
        {"0.02 s behind snaps to 1", 1000, 1.0, 0.02, 1.0},
        {"0.02 s ahead snaps to 1", 1000, 1.0, -0.02, 1.0},
        {"0.04 s ahead (within the start margin): slower", 1000, 1.0, -0.04, 0.96},
        {"half speed, 0.1 s behind", 1000, 0.5, 0.1, 0.6},
        {"a crawling target: at least 0.1", 1000, 0.05, -0.04, 0.1},
        {"0.3 s behind across the clock's wrap", 0xFFFFFF00u, 1.0, 0.3, 1.3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CRateChase chase;
        chase.Reset(60);
        // Call 1 starts measuring, call 2 starts at rate 1, call 11 closes the first full window.
        ChaseRun run = Chase(chase, c.startMs, 5, c.speed, c.behind, 11);
        EXPECT_EQ(chase.State(), CRateChase::kChasing);
        EXPECT_EQ(run.setRates, 2);
        EXPECT_EQ(run.lastAction, CRateChase::kSetRate);
        EXPECT_NEAR(run.rate, c.rate, 1e-3);
    }
}

TEST(CRateChase, WaitsWhileTheMovieIsMoreThanAFractionAhead) {
    CRateChase chase;
    chase.Reset(60);
    ChaseRun run = Chase(chase, 50, 5, 1.0, -0.2, 5);
    EXPECT_EQ(run.setRates, 0);
    EXPECT_EQ(chase.State(), CRateChase::kMeasuring);
}

TEST(CRateChase, StopsWhenTheTargetStandsStillForTwoHundredMilliseconds) {
    for (uint32_t start : {100u, 0xFFFFFFA0u}) {
        SCOPED_TRACE(start);
        CRateChase chase;
        chase.Reset(60);
        (void)Chase(chase, start, 5, 1.0, 0, 3);
        const uint32_t moved = start + 300;
        EXPECT_EQ(chase.Step(moved + 100, 5.3, 5.3, kLatency, 1.0), CRateChase::kNothing);
        EXPECT_EQ(chase.Step(moved + 199, 5.3, 5.3, kLatency, 1.0), CRateChase::kNothing);
        EXPECT_EQ(chase.Step(moved + 200, 5.3, 5.3, kLatency, 1.0), CRateChase::kStop);
        EXPECT_EQ(chase.State(), CRateChase::kSeeking);
    }
}

TEST(CRateChase, SeeksAheadByTheLatencyOnceAndNeverPastTheEnd) {
    CRateChase chase;
    chase.Reset(10);
    EXPECT_EQ(chase.Step(0, 4, 0, 0.3, 1.0), CRateChase::kSeek);
    EXPECT_DOUBLE_EQ(chase.SeekTarget(), 4 + 0.3 + 0.05);
    // The same seek target again while seeking: nothing new.
    EXPECT_EQ(chase.Step(10, 4, 0, 0.3, 1.0), CRateChase::kNothing);
    EXPECT_EQ(chase.Step(20, 9.9, 0, 0.3, 1.0), CRateChase::kSeek);
    EXPECT_DOUBLE_EQ(chase.SeekTarget(), 10);
    // A target at or past the duration never moves the movie.
    for (double target : {10.0, 12.0}) {
        CRateChase idle;
        idle.Reset(10);
        EXPECT_EQ(idle.Step(0, target, 0, 0.3, 1.0), CRateChase::kNothing);
        EXPECT_EQ(idle.State(), CRateChase::kIdle);
        EXPECT_EQ(idle.SeekTarget(), -1.0);
    }
    // Far off again while chasing: seek.
    (void)Chase(chase, 1000, 2, 1.0, 0, 12);
    EXPECT_EQ(chase.Step(3000, 3.3, 6, 0.3, 1.0), CRateChase::kSeek);
}

}  // namespace
