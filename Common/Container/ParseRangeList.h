#pragma once

#include <cstdint>

#include "Common/Container/CArray.h"

struct SRangePair {
    uint32_t first;
    uint32_t last;
};

// Empties the array, then reads numbers and ranges ("3", "5-9"; any other character separates
// items) and appends one pair per item. A range whose first number exceeds its last is skipped.
// Numbers above the u32 range are clamped to it. A null text leaves the array empty.
void ParseRangeList(CArray<SRangePair>& ranges, const char* text);

// Two range lists written as one text, "keep|shift" (a schedule condition).
struct SRangeListPair {
    CArray<SRangePair> first;
    CArray<SRangePair> second;
};

// The text up to the first "|" into the first list and the rest after it into the second, each as
// ParseRangeList reads it; without a "|" the second list is empty. A null text empties both.
void ParseRangeListPair(SRangeListPair& pair, const char* text);
