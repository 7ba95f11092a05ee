#pragma once

namespace plat {

// Source of the process's monotonic time in seconds. Tests install a fake one.
class Clock {
public:
    virtual ~Clock() = default;
    virtual double Now() const = 0;
};

// Seconds on the installed clock (CLOCK_MONOTONIC unless a test installed another).
// Run-loop fire dates, event timestamps and the millisecond event clock all read it.
double ClockNow();

// Installs a clock (null restores the monotonic one) and wakes every run loop.
void SetClock(const Clock* clock);

// A fake clock calls this after it moved, so waiting run loops recompute their timeouts.
void ClockChanged();

}  // namespace plat
