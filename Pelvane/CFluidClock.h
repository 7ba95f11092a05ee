#pragma once

#include <cstdint>

// Fixed solver steps locked to the patch time. The clock restarts at the patch time when that went
// back or jumped ahead by more than kResyncGap; an execution then steps at least once and until
// the clock reaches the patch time, at most kMaxSteps times (a tiny dt would otherwise run
// hundreds of thousands of GPU steps in one frame): a run that hits the cap restarts the clock at
// the patch time, so the simulation falls behind real time instead of freezing the output.
class CFluidClock {
public:
    static constexpr double kResyncGap = 0.2;
    static constexpr uint32_t kMaxSteps = 16;

    void Reset() { fTime = 0; }
    double Time() const { return fTime; }
    void Resync(double t) {
        if (fTime > t || t - fTime > kResyncGap) fTime = t;
    }
    // Runs step() as described; single: exactly one step. Returns the number of steps.
    template <class Step>
    uint32_t Run(double t, double dt, bool single, Step&& step) {
        uint32_t steps = 0;
        do {
            step();
            fTime += dt;
            ++steps;
        } while (!single && fTime < t && steps < kMaxSteps);
        if (!single && fTime < t) fTime = t;
        return steps;
    }

private:
    double fTime = 0;
};
