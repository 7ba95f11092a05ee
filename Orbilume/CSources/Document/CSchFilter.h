#pragma once

#include <cstdint>
#include <vector>

#include "Common/Container/CArray.h"
#include "Common/Container/ParseRangeList.h"
#include "Lib3/LSources/CoreUI/CSchEvent.h"
#include "Lib3/LSources/CoreUI/SchDateTime.h"

class CRecord;

// One compiled schedule entry (SCEV): its periods and, per date field, a keep list and a shift list
// read from the condition text split at its first "|". A value in a shift list counts for the cycle
// before (hour 0-5 after "22-23|" belongs to the evening before), so matching works on candidate
// date-times moved back by one unit.
class CSchFilter {
public:
    // Field order of the condition lists (the entry's fields 'fcpy' ... 'fcps').
    enum Field : uint32_t { kYear, kMonth, kDay, kWeekday, kHour, kMinute, kSecond, kFieldCount };

    // Compiles the entry; a null entry gives a filter without conditions or periods.
    void Load(const CRecord* entry);
    // True when now (a normalised date-time) satisfies the periods and every condition.
    bool Matches(const SchDateTime& now) const;

    const CArray<SRangePair>& Keep(Field f) const { return fKeep[f]; }
    const CArray<SRangePair>& Shift(Field f) const { return fShift[f]; }
    const std::vector<CSchEvent>& Periods() const { return fPeriods; }

private:
    std::vector<CSchEvent> fPeriods;
    CArray<SRangePair> fKeep[kFieldCount];
    CArray<SRangePair> fShift[kFieldCount];
};
