#pragma once

#include <atomic>
#include <cstdint>

#include "Platform/Foundation/Clock.h"

namespace testsupport {

// Installs itself as the process clock for its lifetime. Time moves only when told to; every move
// wakes the run loops so that they see it.
class FakeClock : public plat::Clock {
public:
    explicit FakeClock(double start = 1000.0);
    ~FakeClock() override;
    FakeClock(const FakeClock&) = delete;
    FakeClock& operator=(const FakeClock&) = delete;

    double Now() const override;
    void Set(double seconds);
    void Advance(double seconds) { Set(Now() + seconds); }
    void AdvanceMs(int64_t ms) { Advance(double(ms) / 1000.0); }

private:
    std::atomic<int64_t> fNanos;
};

}  // namespace testsupport
