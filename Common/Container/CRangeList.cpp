#include "Common/Container/CRangeList.h"

bool CRangeList::InsertMerged(uint32_t i, const Entry& e, uint32_t& at) {
    const bool withPrev = i > 0 && fEntries[i - 1].end == e.start && fEntries[i - 1].value == e.value;
    const bool withNext = i < fEntries.Count() && fEntries[i].start == e.end && fEntries[i].value == e.value;
    if (withPrev && withNext) {
        fEntries[i - 1].end = fEntries[i].end;
        fEntries.Remove(i);
        at = i - 1;
    } else if (withPrev) {
        fEntries[i - 1].end = e.end;
        at = i - 1;
    } else if (withNext) {
        fEntries[i].start = e.start;
        at = i;
    } else {
        if (!fEntries.Insert(i, e)) return false;
        at = i;
    }
    return true;
}

bool CRangeList::Add(uint32_t start, uint32_t end, uint32_t value) {
    if (value == 0 || end <= start) return true;
    uint32_t i = 0;
    while (i < fEntries.Count() && fEntries[i].end <= start) ++i;
    uint32_t pos = start;
    while (pos < end) {
        if (i < fEntries.Count() && fEntries[i].start <= pos) {
            if (fEntries[i].end > pos) pos = fEntries[i].end;
            ++i;
            continue;
        }
        const uint32_t gapEnd = i < fEntries.Count() && fEntries[i].start < end ? fEntries[i].start : end;
        // The entry now holding the gap is examined next, which moves pos past it.
        if (!InsertMerged(i, Entry{pos, gapEnd, value}, i)) return false;
    }
    return true;
}

uint32_t CRangeList::Lookup(uint32_t key) const {
    uint32_t lo = 0;
    uint32_t hi = fEntries.Count();
    while (lo < hi) {  // first entry whose start is above the key
        const uint32_t mid = lo + (hi - lo) / 2;
        if (fEntries[mid].start <= key)
            lo = mid + 1;
        else
            hi = mid;
    }
    if (lo == 0) return 0;
    const Entry& e = fEntries[lo - 1];
    return key < e.end ? e.value : 0;
}
