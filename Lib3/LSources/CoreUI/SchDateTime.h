#pragma once

#include <cstdint>

// A schedule date-time: calendar fields with the weekday (0 Sunday ... 6 Saturday).
struct SchDateTime {
    uint16_t year = 0;
    uint8_t month = 1;
    uint8_t day = 1;
    uint8_t weekday = 0;
    uint8_t hour = 0;
    uint8_t minute = 0;
    uint8_t second = 0;

    // Clamps month to 1..12, hour to 23, minute and second to 59, day to 1..the month's length,
    // then recomputes the weekday.
    static void Normalize(SchDateTime& dt);
    static uint8_t DaysInMonth(uint16_t year, uint8_t month);
    static uint8_t WeekdayOf(uint16_t year, uint8_t month, uint8_t day);
};

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

// One part of a record's date-time array (values[part] of count elements), raised to at least the
// part's minimum (1 for weekday, day and month, else 0); the minimum alone when the array is too
// short; 0 for a part index above 6.
uint32_t GetDateTimePart(const uint32_t* values, uint32_t count, uint32_t part);
