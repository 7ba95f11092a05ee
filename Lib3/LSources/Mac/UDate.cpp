#include "Lib3/LSources/Mac/UDate.h"

#include <cmath>
#include <cstdio>
#include <ctime>

#include "Lib3/LSources/CoreString/LStrBuf.h"
#include "Platform/Foundation/WallClock.h"

namespace {

constexpr int64_t kDaysFrom1970To2001 = 11323;
constexpr double kLimit = 1e15;  // seconds; keeps days and years well inside their types

// Civil date of a day count since 1970-01-01 (proleptic Gregorian).
void CivilFromDays(int64_t z, int64_t& y, int& m, int& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = yoe + era * 400 + (m <= 2);
}

void AppendPadded(LStrBuf& out, int64_t value, int width) {
    char text[32];
    const int n = std::snprintf(text, sizeof text, "%0*lld", width, static_cast<long long>(value));
    if (n <= 0) return;
    const int from = n > width ? n - width : 0;
    out.Append(text + from, static_cast<uint32_t>(n - from));
}

}  // namespace

double UDate::Now() {
    return plat::WallClockNow() - kUnixEpochOffset;
}

double UDate::ToLocal(double t) {
    if (!std::isfinite(t) || std::fabs(t) > kLimit) return t;
    const time_t unix = static_cast<time_t>(std::floor(t + kUnixEpochOffset));
    tm local;
    if (!localtime_r(&unix, &local)) return t;
    return t + static_cast<double>(local.tm_gmtoff);
}

SGregorianDate UDate::GregorianOf(double t) {
    if (!std::isfinite(t)) t = 0;
    if (t > kLimit) t = kLimit;
    if (t < -kLimit) t = -kLimit;
    const double dayCount = std::floor(t / 86400.0);
    const int64_t days = static_cast<int64_t>(dayCount);
    double secs = t - dayCount * 86400.0;
    if (secs < 0) secs = 0;
    if (secs >= 86400.0) secs = std::nextafter(86400.0, 0.0);
    int64_t year;
    int month, day;
    CivilFromDays(days + kDaysFrom1970To2001, year, month, day);
    SGregorianDate g;
    g.year = static_cast<int32_t>(year);
    g.month = static_cast<int8_t>(month);
    g.day = static_cast<int8_t>(day);
    const int whole = static_cast<int>(secs);
    g.hour = static_cast<int8_t>(whole / 3600);
    g.minute = static_cast<int8_t>(whole / 60 % 60);
    g.second = secs - (whole / 60) * 60.0;
    g.dayOfWeek = static_cast<int32_t>(((days % 7) + 7) % 7) + 1;  // 2001-01-01 was a Monday
    return g;
}

void UDate::AppendDateText(LStrBuf& out, const SGregorianDate& d) {
    AppendPadded(out, d.year, 4);
    out.Append("-");
    AppendPadded(out, d.month, 2);
    out.Append("-");
    AppendPadded(out, d.day, 2);
}

void UDate::AppendTimeText(LStrBuf& out, const SGregorianDate& d) {
    AppendPadded(out, d.hour, 2);
    out.Append(":");
    AppendPadded(out, d.minute, 2);
    out.Append(":");
    AppendPadded(out, static_cast<int64_t>(std::floor(d.second)), 2);
}
