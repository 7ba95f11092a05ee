#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreUI/SchDateTime.h"

// One period of a schedule: a repeat kind with a start and an end date-time, and the comparisons
// the filter needs precomputed.
class CSchEvent {
public:
    enum Kind : uint8_t {
        kEveryMinute = 0,
        kEveryHour,
        kEveryDay,
        kEveryWeek,
        kEveryMonth,
        kEveryYear,
        kOnce,
    };
    enum Match : int {
        kNoMatch = 0,
        kInPeriod = 1,
        kInPreviousCycle = 2,  // matched by the part that began one cycle earlier
    };

    // Kind 0, start and end 2020-01-01 00:00:00.
    CSchEvent();

    // A period record: kind byte (field 0), start and end date-time arrays (fields 1 and 2).
    void Load(CRecordRef period);
    void Load(uint8_t kind, const SchDateTime& start, const SchDateTime& end);
    int Match(const SchDateTime& now) const;

    // The seven parts of a record's date-time array field (each at least its minimum; weekday
    // modulo 7), not normalised.
    static void ReadDateTime(CRecordRef record, uint32_t field, SchDateTime& out);
    // The same over the array's values.
    static void ReadDateTime(const uint32_t* values, uint32_t count, SchDateTime& out);
    // True when a is strictly later than b in the kind's fields; false for kinds above 6.
    static bool IsLater(uint8_t kind, const SchDateTime& a, const SchDateTime& b);

    uint8_t Kind() const { return fKind; }
    const SchDateTime& Start() const { return fStart; }
    const SchDateTime& End() const { return fEnd; }
    bool Wraps() const { return fWraps; }
    bool Same() const { return fSame; }

private:
    uint8_t fKind = 0;
    SchDateTime fStart;
    SchDateTime fEnd;
    uint8_t fWraps = 0;
    uint8_t fSame = 1;
};
