#include "Common/Stream/CCodeCounter.h"

uint16_t CCodeCounter::Count(uint16_t code) {
    // First entry greater than the code.
    uint32_t lo = 0, hi = fEntries.Count();
    while (lo < hi) {
        uint32_t mid = lo + (hi - lo) / 2;
        if (fEntries[mid].code <= code)
            lo = mid + 1;
        else
            hi = mid;
    }
    if (lo > 0 && fEntries[lo - 1].code == code) {
        Entry& e = fEntries[lo - 1];
        uint16_t before = e.count;
        if (e.count != UINT16_MAX) ++e.count;  // saturates instead of wrapping to 0
        return before;
    }
    fEntries.Insert(lo, Entry{code, 1});
    return 0;
}
