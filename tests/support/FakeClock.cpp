#include "tests/support/FakeClock.h"

#include <cmath>

namespace testsupport {

FakeClock::FakeClock(double start) : fNanos(std::llround(start * 1e9)) {
    plat::SetClock(this);
}

FakeClock::~FakeClock() {
    plat::SetClock(nullptr);
}

double FakeClock::Now() const {
    return double(fNanos.load()) * 1e-9;
}

void FakeClock::Set(double seconds) {
    fNanos.store(std::llround(seconds * 1e9));
    plat::ClockChanged();
}

}  // namespace testsupport
