#pragma once

#include <cstdint>

#include "Common/Container/CArray.h"

struct SRangePair {
    uint32_t first;
    uint32_t last;
};

// Empties the array, then reads numbers and ranges: digit runs are decimal numbers (saturating at
// 2^32 - 1), "-" joins them and every other character (blanks too) separates. A range opens with
// its first number; a number after "-" first adds first..previous number, and a separator or the
// end adds first..last number; reversed pieces are not added. So "1-2-3" is 1..3, "5-3" is 5,
// "3-" is 3 and "3 - 5" is 3 and 5. One pair per opened range that added anything. A null text
// leaves the array empty. Linear in the text's length.
void ParseRangeList(CArray<SRangePair>& ranges, const char* text);

// Two range lists written as one text, "keep|shift" (a schedule condition).
struct SRangeListPair {
    CArray<SRangePair> first;
    CArray<SRangePair> second;
};

// The text up to the first "|" into the first list and the rest after it into the second, each as
// ParseRangeList reads it; without a "|" the second list is empty. A null text empties both.
void ParseRangeListPair(SRangeListPair& pair, const char* text);
