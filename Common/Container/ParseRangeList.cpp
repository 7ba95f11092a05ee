#include "Common/Container/ParseRangeList.h"

#include <cerrno>
#include <cstdlib>

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

}  // namespace

void ParseRangeList(CArray<SRangePair>& ranges, const char* text) {
    ranges.RemoveAll();
    if (!text) return;
    const char* p = text;
    while (*p) {
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
