#pragma once

#include <cstdint>

// Parts of a date-time array field, in storage order.
enum SchDateTimePart : uint32_t {
    kSchSecond = 0,
    kSchMinute,
    kSchHour,
    kSchWeekday,
    kSchDay,
    kSchMonth,
    kSchYear,
};

// One part of a date-time array (values[part] of count elements), raised to at least the part's
// minimum (1 for weekday, day and month, else 0); the minimum alone when the array is too short;
// 0 for a part index above 6.
uint32_t GetDateTimePart(const uint32_t* values, uint32_t count, uint32_t part);
