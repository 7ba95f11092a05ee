#pragma once

#include <cstdint>

// The frame pacing of an output's render loop, as a pure function of the host times and the
// millisecond clock it is given: it estimates how many display refreshes each step falls behind
// and the time lag the next frame is rendered with. Durations are counted in units of 100 µs.
// Owned by one render thread; no locks.
class COutPacer {
public:
    static constexpr uint32_t kUnitsPerSecond = 10000;
    static constexpr uint32_t kMaxDropMs = 100;
    static constexpr uint32_t kDropHoldMs = 3000;
    // Rates outside come from the display: anything outside 1..kMaxFps is taken at the nearest end.
    static constexpr int32_t kMaxFps = 1000;

    // First step (or first after a stop): fresh averages, the constants of fps, the interval of this
    // step taken as one period.
    void Start(int32_t fps, uint64_t hostFrequency, uint64_t now);
    // Later steps: takes the interval since the last step. With adaptive sleep on and frames being
    // skipped, answers how many units to sleep before the swap (0: none).
    uint32_t Elapse(uint64_t now, bool adaptiveSleep);
    // After the swap (t0..t1) and the refresh wait (until t2): updates the averages and the skip
    // estimate and answers the lag in milliseconds for the next frame.
    int32_t Finish(uint64_t t0, uint64_t t1, uint64_t t2, uint32_t nowMs);
    // The next step starts afresh.
    void Stop() { fStarted = false; }

    bool Started() const { return fStarted; }
    uint32_t Fps() const { return fFps; }
    uint32_t Period() const { return fPeriod; }
    uint32_t HalfPeriod() const { return fHalfPeriod; }
    uint32_t FrameMs() const { return fFrameMs; }
    uint32_t MaxSkip() const { return fMaxSkip; }
    uint32_t DropDecay() const { return fDropDecay; }
    uint32_t DropCounter() const { return fDropCounter; }
    uint32_t Skip() const { return fSkip; }
    bool DropShown() const { return fDropShown; }
    uint32_t Elapsed() const { return fElapsed; }
    uint32_t SwapAverage() const { return fSwapAverage; }
    uint32_t IntervalAverage() const { return fIntervalAverage; }
    int32_t Lag() const { return fLag; }

    // fps clamped into 1..kMaxFps.
    static uint32_t SaneFps(int32_t fps);

private:
    uint32_t Units(uint64_t from, uint64_t to) const;
    static void Average(uint32_t sample, uint32_t& average, uint32_t& deviation);

    uint64_t fLastHostTime = 0;
    float fUnitScale = 0;
    uint32_t fIntervalAverage = 0;
    uint32_t fIntervalDeviation = 0;
    uint32_t fSwapAverage = 0;
    uint32_t fSwapDeviation = 0;
    uint32_t fSkip = 0;
    uint32_t fMaxSkip = 0;
    uint32_t fDropCounter = 0;
    uint32_t fDropDecay = 1;
    uint32_t fPeriod = 1;
    uint32_t fHalfPeriod = 0;
    uint32_t fFrameMs = 0;
    uint32_t fDropTime = 0;
    uint32_t fFps = 60;
    uint32_t fElapsed = 0;
    int32_t fLag = 0;
    bool fStarted = false;
    bool fDropShown = false;
};
