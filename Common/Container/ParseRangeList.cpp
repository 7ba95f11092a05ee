#include "Common/Container/ParseRangeList.h"

#include <cstring>

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// A decimal digit run, saturating at 2^32 - 1.
uint32_t ReadNumber(const char*& p) {
    uint64_t v = 0;
    for (; IsDigit(*p); ++p) {
        v = v * 10 + static_cast<uint32_t>(*p - '0');
        if (v > 0xFFFFFFFFull) v = 0xFFFFFFFFull + 1;  // stays above the limit without overflowing
    }
    return v > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(v);
}

// One open range: its first number, the last number read and the widest end added so far. Every
// piece of one range starts at `first`, so their union is first..widest, appended once on closing.
struct OpenRange {
    bool open = false;
    bool added = false;
    uint32_t first = 0;
    uint32_t last = 0;
    uint32_t widest = 0;

    void Add(uint32_t end) {
        if (first > end) return;
        if (!added || end > widest) widest = end;
        added = true;
    }
    void Close(CArray<SRangePair>& ranges) {
        if (!open) return;
        Add(last);
        if (added) ranges.Append(SRangePair{first, widest});
        *this = OpenRange();
    }
};

// Reads [p, end) (or up to a NUL), appending to ranges.
void ParseSpan(CArray<SRangePair>& ranges, const char* p, const char* end) {
    OpenRange range;
    bool afterDash = false;
    while (p < end && *p) {
        if (IsDigit(*p)) {
            const uint32_t n = ReadNumber(p);
            if (!range.open) {
                range.open = true;
                range.first = range.last = n;
            } else if (afterDash) {
                range.Add(range.last);
                range.last = n;
            }
            afterDash = false;
        } else if (*p == '-') {
            afterDash = range.open;
            ++p;
        } else {
            range.Close(ranges);
            afterDash = false;
            ++p;
        }
    }
    range.Close(ranges);
}

}  // namespace

void ParseRangeList(CArray<SRangePair>& ranges, const char* text) {
    ranges.RemoveAll();
    if (!text) return;
    ParseSpan(ranges, text, text + std::strlen(text));
}

void ParseRangeListPair(SRangeListPair& pair, const char* text) {
    pair.first.RemoveAll();
    pair.second.RemoveAll();
    if (!text) return;
    const char* bar = std::strchr(text, '|');
    if (!bar) {
        ParseSpan(pair.first, text, text + std::strlen(text));
        return;
    }
    ParseSpan(pair.first, text, bar);
    ParseRangeList(pair.second, bar + 1);
}
