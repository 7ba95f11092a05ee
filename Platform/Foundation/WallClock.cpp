#include "Platform/Foundation/WallClock.h"

#include <atomic>
#include <cmath>
#include <ctime>

namespace plat {

namespace {
std::atomic<const WallClock*> gWallClock{nullptr};
}

double WallClockNow() {
    if (const WallClock* c = gWallClock.load(std::memory_order_acquire)) return c->Now();
    timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

void SetWallClock(const WallClock* clock) {
    gWallClock.store(clock, std::memory_order_release);
}

bool ToLocalTime(double seconds, LocalTime& out) {
    if (!std::isfinite(seconds) || seconds < -1e15 || seconds > 1e15) return false;
    double whole = std::floor(seconds);
    time_t t = time_t(whole);
    tm parts{};
    if (!localtime_r(&t, &parts)) return false;
    out.year = parts.tm_year + 1900;
    out.month = parts.tm_mon + 1;
    out.day = parts.tm_mday;
    out.hour = parts.tm_hour;
    out.minute = parts.tm_min;
    out.second = parts.tm_sec;
    out.fraction = seconds - whole;
    if (out.fraction < 0.0 || out.fraction >= 1.0) out.fraction = 0.0;
    return true;
}

}  // namespace plat
