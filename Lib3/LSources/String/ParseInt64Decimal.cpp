#include "Lib3/LSources/String/ParseInt64Decimal.h"

bool ParseInt64Decimal(const unsigned char*& text, int64_t& value) {
    const unsigned char* p = text;
    if (!p) return false;
    while (*p >= 1 && *p <= 32) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    if (*p < '0' || *p > '9') return false;
    uint64_t v = 0;
    for (; *p >= '0' && *p <= '9'; ++p) v = v * 10 + static_cast<uint64_t>(*p - '0');
    value = static_cast<int64_t>(negative ? 0 - v : v);
    text = p;
    return true;
}

bool ParseInt64Decimal(const char*& text, int64_t& value) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    if (!ParseInt64Decimal(p, value)) return false;
    text = reinterpret_cast<const char*>(p);
    return true;
}
