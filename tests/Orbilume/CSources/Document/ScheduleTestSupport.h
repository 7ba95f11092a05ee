#pragma once

#include <initializer_list>
#include <vector>

#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/CoreUI/SchDateTime.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/USchedule.h"

namespace schedtest {

// A normalised local date-time (the weekday computed).
inline SchDateTime At(int year, int month, int day, int hour, int minute = 0, int second = 0) {
    SchDateTime t;
    t.year = static_cast<uint16_t>(year);
    t.month = static_cast<uint8_t>(month);
    t.day = static_cast<uint8_t>(day);
    t.hour = static_cast<uint8_t>(hour);
    t.minute = static_cast<uint8_t>(minute);
    t.second = static_cast<uint8_t>(second);
    SchDateTime::Normalize(t);
    return t;
}

// Conditions in field order: year, month, day, weekday, hour, minute, second.
struct Conditions {
    const char* year = "";
    const char* month = "";
    const char* day = "";
    const char* weekday = "";
    const char* hour = "";
    const char* minute = "";
    const char* second = "";
};

// A period: kind, start and end as stored (second, minute, hour, weekday, day, month, year; any
// prefix of them).
struct Period {
    uint8_t kind = 2;
    std::vector<uint32_t> start;
    std::vector<uint32_t> end;
};

inline CRecord* NewPeriod(const Period& p) {
    CRecord* period = USchedule::NewPeriod();
    CRecordRef ref(&period);
    (void)ref.SetByte(nullptr, CDocModelTypes::kScepRange, p.kind);
    (void)ref.SetArray(nullptr, CDocModelTypes::kScepStart, p.start.data(),
                       static_cast<uint32_t>(p.start.size()));
    (void)ref.SetArray(nullptr, CDocModelTypes::kScepEnd, p.end.data(), static_cast<uint32_t>(p.end.size()));
    return period;
}

inline CRecord* NewEntry(const Conditions& c, std::initializer_list<Period> periods = {},
                         const char* name = "") {
    CRecord* entry = USchedule::NewEntry();
    const char* texts[7] = {c.year, c.month, c.day, c.weekday, c.hour, c.minute, c.second};
    entry->StringSlot(CDocModelTypes::kScevName) = LString(name);
    for (uint32_t i = 0; i < 7; ++i) entry->StringSlot(CDocModelTypes::kScevYear + i) = LString(texts[i]);
    for (const Period& p : periods)
        (void)entry->InsertElementRaw(CDocModelTypes::kScevPeriods,
                                      entry->ArrayCount(CDocModelTypes::kScevPeriods), NewPeriod(p));
    return entry;
}

}  // namespace schedtest
