#pragma once

namespace plat {

// Source of the calendar time in seconds since 1970-01-01 00:00 UTC. Tests install a fake one.
class WallClock {
public:
    virtual ~WallClock() = default;
    virtual double Now() const = 0;
};

// Seconds on the installed wall clock (CLOCK_REALTIME unless a test installed another).
double WallClockNow();

// Installs a wall clock; null restores the real one.
void SetWallClock(const WallClock* clock);

// A time broken down in the local time zone (TZ).
struct LocalTime {
    int year = 1970;
    int month = 1;  // 1..12
    int day = 1;    // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;         // 0..60
    double fraction = 0.0;  // of the second, 0 <= f < 1
};

// Breaks a wall-clock time down in the local time zone; false when it cannot be represented.
[[nodiscard]] bool ToLocalTime(double seconds, LocalTime& out);

}  // namespace plat
