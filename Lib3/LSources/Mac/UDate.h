#pragma once

#include <cstdint>

class LStrBuf;

// Calendar fields of a time; day of week 1 Monday ... 7 Sunday.
struct SGregorianDate {
    int32_t year = 2001;
    int8_t month = 1;
    int8_t day = 1;
    int8_t hour = 0;
    int8_t minute = 0;
    double second = 0;
    int32_t dayOfWeek = 1;
};

// Absolute time: seconds since 1 January 2001 00:00:00 GMT.
struct UDate {
    static constexpr double kUnixEpochOffset = 978307200.0;  // 2001 minus 1970, in seconds

    // Now on the installed wall clock (plat::WallClockNow).
    static double Now();
    // The time plus the local time zone's offset from GMT at that time (daylight saving included).
    static double ToLocal(double t);
    // The fields of a time read as GMT; pass a local time for local fields. Times beyond about
    // ±30 million years are clamped.
    static SGregorianDate GregorianOf(double t);
    // "YYYY-MM-DD" and "hh:mm:ss" (seconds rounded down); each number is zero-padded to its width
    // and cut to its last digits when longer.
    static void AppendDateText(LStrBuf& out, const SGregorianDate& d);
    static void AppendTimeText(LStrBuf& out, const SGregorianDate& d);
};
