#include "Common/Container/ParseRangeList.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

uint32_t ReadNumber(const char*& p) {
    char* end;
    errno = 0;
    const unsigned long long v = std::strtoull(p, &end, 10);
    p = end;
    return (errno == ERANGE || v > 0xFFFFFFFFull) ? 0xFFFFFFFFu : static_cast<uint32_t>(v);
}

// Reads up to end (a character that is no digit, blank or "-", or the terminating NUL).
void ParseSpan(CArray<SRangePair>& ranges, const char* p, const char* end) {
    while (p < end && *p) {
        if (!IsDigit(*p)) {
            ++p;
            continue;
        }
        SRangePair r;
        r.first = r.last = ReadNumber(p);
        const char* q = p;
        while (*q == ' ' || *q == '\t') ++q;
        if (*q == '-') {
            ++q;
            while (*q == ' ' || *q == '\t') ++q;
            if (IsDigit(*q)) {
                r.last = ReadNumber(q);
                p = q;
            }
        }
        if (r.first <= r.last) ranges.Append(r);
    }
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
