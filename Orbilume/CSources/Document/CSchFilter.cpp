#include "Orbilume/CSources/Document/CSchFilter.h"

#include <cstring>

#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreString/LString.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"

namespace {

using T = CDocModelTypes;

// Candidates are kept distinct: equal date-times answer every step alike, and the list stays
// small (at most a few per step) however many periods or ranges an entry has.
using Candidates = std::vector<SchDateTime>;

bool Same(const SchDateTime& a, const SchDateTime& b) {
    return a.year == b.year && a.month == b.month && a.day == b.day && a.weekday == b.weekday &&
           a.hour == b.hour && a.minute == b.minute && a.second == b.second;
}

void AddCandidate(Candidates& list, const SchDateTime& dt) {
    for (const SchDateTime& c : list)
        if (Same(c, dt)) return;
    list.push_back(dt);
}

bool Contains(const CArray<SRangePair>& ranges, uint32_t value) {
    for (const SRangePair& r : ranges)
        if (r.first <= value && value <= r.last) return true;
    return false;
}

// A date field's value as the conditions count it (weekday 1 Monday ... 7 Sunday).
uint32_t ValueOf(const SchDateTime& dt, CSchFilter::Field f) {
    switch (f) {
        case CSchFilter::kYear:
            return dt.year;
        case CSchFilter::kMonth:
            return dt.month;
        case CSchFilter::kDay:
            return dt.day;
        case CSchFilter::kWeekday:
            return dt.weekday == 0 ? 7u : dt.weekday;
        case CSchFilter::kHour:
            return dt.hour;
        case CSchFilter::kMinute:
            return dt.minute;
        default:
            return dt.second;
    }
}

// One unit of the next larger field back (the year stays).
void ShiftBack(SchDateTime& dt, CSchFilter::Field f) {
    switch (f) {
        case CSchFilter::kSecond:
            SchDateTime::DecMinute(dt);
            break;
        case CSchFilter::kMinute:
            SchDateTime::DecHour(dt);
            break;
        case CSchFilter::kHour:
            SchDateTime::DecDay(dt);
            break;
        case CSchFilter::kDay:
            SchDateTime::DecMonth(dt);
            break;
        case CSchFilter::kMonth:
            SchDateTime::DecYear(dt);
            break;
        default:
            break;
    }
}

// A period's previous cycle: one unit of its repetition back.
void PeriodBack(SchDateTime& dt, uint8_t kind) {
    switch (kind) {
        case CSchEvent::kEveryMinute:
            SchDateTime::DecMinute(dt);
            break;
        case CSchEvent::kEveryHour:
            SchDateTime::DecHour(dt);
            break;
        case CSchEvent::kEveryDay:
            SchDateTime::DecDay(dt);
            break;
        case CSchEvent::kEveryMonth:
            SchDateTime::DecMonth(dt);
            break;
        case CSchEvent::kEveryYear:
            SchDateTime::DecYear(dt);
            break;
        default:  // a week has no shift; a one-off period has no cycle
            break;
    }
}

}  // namespace

void CSchFilter::Load(const CRecord* entry) {
    fPeriods.clear();
    for (uint32_t f = 0; f < kFieldCount; ++f) {
        fKeep[f].RemoveAll();
        fShift[f].RemoveAll();
    }
    if (!entry || !entry->IsOfType(T::kScheduleDomain, T::kSCEV)) return;
    for (uint32_t f = 0; f < kFieldCount; ++f) {
        const LString& text = entry->GetString(T::kScevYear + f);
        const char* all = text.CStr();
        const char* bar = std::strchr(all, '|');
        if (!bar) {
            ParseRangeList(fKeep[f], all);
            continue;
        }
        const LString keep(all, static_cast<uint32_t>(bar - all));
        ParseRangeList(fKeep[f], keep.CStr());
        ParseRangeList(fShift[f], bar + 1);
    }
    const uint32_t count = entry->ArrayCount(T::kScevPeriods);
    fPeriods.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        CRecord* period = entry->GetElement(T::kScevPeriods, i);
        CSchEvent compiled;
        compiled.Load(CRecordRef(&period));
        fPeriods.push_back(compiled);
    }
}

bool CSchFilter::Matches(const SchDateTime& now) const {
    Candidates candidates;
    if (fPeriods.empty()) {
        candidates.push_back(now);
    } else {
        for (const CSchEvent& period : fPeriods) {
            const int result = period.Match(now);
            if (result == CSchEvent::kNoMatch) continue;
            SchDateTime c = now;
            if (result == CSchEvent::kInPreviousCycle) PeriodBack(c, period.Kind());
            AddCandidate(candidates, c);
        }
        if (candidates.empty()) return false;
    }
    static const Field kOrder[kFieldCount] = {kSecond, kMinute, kHour, kWeekday, kDay, kMonth, kYear};
    Candidates next;
    for (Field f : kOrder) {
        const CArray<SRangePair>& keep = fKeep[f];
        // The weekday has no previous cycle of its own: only its keep list counts.
        const CArray<SRangePair>* shift = f == kWeekday ? nullptr : &fShift[f];
        if (keep.Count() == 0 && fShift[f].Count() == 0) continue;
        next.clear();
        for (size_t i = candidates.size(); i-- > 0;) {
            const SchDateTime& c = candidates[i];
            const uint32_t value = ValueOf(c, f);
            if (Contains(keep, value)) AddCandidate(next, c);
            if (shift && Contains(*shift, value)) {
                SchDateTime moved = c;
                ShiftBack(moved, f);
                AddCandidate(next, moved);
            }
        }
        if (next.empty()) return false;
        candidates.swap(next);
    }
    return true;
}
