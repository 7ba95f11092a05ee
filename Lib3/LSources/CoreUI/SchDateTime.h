#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/DateTimePart.h"

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
    static uint8_t DaysInMonth(const SchDateTime& dt) { return DaysInMonth(dt.year, dt.month); }
    // One unit earlier. Minute 0 becomes 59 of the hour before, hour 0 23 of the day before, day 1
    // the last day of the month before, month 1 December of the year before. DecDay, DecMonth and
    // DecYear normalise (recomputing the weekday); DecMinute and DecHour only when they reach DecDay.
    static void DecMinute(SchDateTime& dt);
    static void DecHour(SchDateTime& dt);
    static void DecDay(SchDateTime& dt);
    static void DecMonth(SchDateTime& dt);
    static void DecYear(SchDateTime& dt);
    static uint8_t WeekdayOf(uint16_t year, uint8_t month, uint8_t day);
};
