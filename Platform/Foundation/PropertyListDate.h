#pragma once

#include <cmath>
#include <cstdint>

namespace plat {

// Seconds since 2001-01-01 UTC as libplist hands a date out: whole seconds and microseconds, each
// truncated to 32 bits the way the x86 instructions do it (out of range or NaN gives the lowest
// value), put together again as one number. Dates read this way keep the values they always had.
inline double PropertyListDateValue(double seconds) {
    auto to32 = [](double d) {
        return d > -2147483649.0 && d < 2147483648.0 ? static_cast<int32_t>(d) : INT32_MIN;
    };
    const int64_t whole = seconds >= -9223372036854775808.0 && seconds < 9223372036854775808.0
                              ? static_cast<int64_t>(seconds)
                              : INT64_MIN;
    const int32_t sec = to32(seconds);
    const int32_t usec = to32(std::fabs((seconds - static_cast<double>(whole)) * 1000000));
    return static_cast<double>(sec) + usec / 1e6;
}

}  // namespace plat
