#include "Lib3/LSources/CoreUI/SchDateTime.h"

namespace {

bool IsLeap(uint32_t year) {
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

}  // namespace

uint8_t SchDateTime::DaysInMonth(uint16_t year, uint8_t month) {
    static const uint8_t kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 31;
    return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

uint8_t SchDateTime::WeekdayOf(uint16_t year, uint8_t month, uint8_t day) {
    // Zeller's congruence with January and February as months 13 and 14 of the previous year.
    int32_t y = year;
    int32_t m = month;
    if (m < 3) {
        m += 12;
        y -= 1;
    }
    // Shift by 400 years (a whole number of weeks) so year 0's January stays non-negative.
    y += 400;
    const int32_t k = y % 100;
    const int32_t j = y / 100;
    const int32_t h = (day + 13 * (m + 1) / 5 + k + k / 4 + j / 4 + 5 * j) % 7;  // 0 Saturday
    return static_cast<uint8_t>((h + 6) % 7);
}

void SchDateTime::Normalize(SchDateTime& dt) {
    if (dt.month > 12) dt.month = 12;
    if (dt.month == 0) dt.month = 1;
    if (dt.hour > 23) dt.hour = 23;
    if (dt.minute > 59) dt.minute = 59;
    if (dt.second > 59) dt.second = 59;
    const uint8_t days = DaysInMonth(dt.year, dt.month);
    if (dt.day < 1) dt.day = 1;
    if (dt.day > days) dt.day = days;
    dt.weekday = WeekdayOf(dt.year, dt.month, dt.day);
}

void SchDateTime::DecYear(SchDateTime& dt) {
    dt.year = static_cast<uint16_t>(dt.year - 1);
    Normalize(dt);
}

void SchDateTime::DecMonth(SchDateTime& dt) {
    if (dt.month <= 1) {
        dt.month = 12;
        DecYear(dt);  // normalises
        return;
    }
    dt.month = static_cast<uint8_t>(dt.month - 1);
    Normalize(dt);
}

void SchDateTime::DecDay(SchDateTime& dt) {
    if (dt.day <= 1) {
        dt.day = 31;
        DecMonth(dt);  // normalises to the month's length
        return;
    }
    dt.day = static_cast<uint8_t>(dt.day - 1);
    Normalize(dt);
}

void SchDateTime::DecHour(SchDateTime& dt) {
    if (dt.hour == 0) {
        dt.hour = 23;
        DecDay(dt);
        return;
    }
    dt.hour = static_cast<uint8_t>(dt.hour - 1);
}

void SchDateTime::DecMinute(SchDateTime& dt) {
    if (dt.minute == 0) {
        dt.minute = 59;
        DecHour(dt);
        return;
    }
    dt.minute = static_cast<uint8_t>(dt.minute - 1);
}
