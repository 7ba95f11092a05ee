#include "Platform/Foundation/Clock.h"

#include <atomic>
#include <ctime>

#include "Platform/Foundation/RunLoop.h"

namespace plat {

namespace {
std::atomic<const Clock*> gClock{nullptr};
}

double ClockNow() {
    if (const Clock* c = gClock.load(std::memory_order_acquire)) return c->Now();
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

void SetClock(const Clock* clock) {
    gClock.store(clock, std::memory_order_release);
    ClockChanged();
}

void ClockChanged() {
    RunLoop::WakeAll();
}

}  // namespace plat
