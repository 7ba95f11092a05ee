#include "Orbilume/CSources/Engine/UTimeText.h"

#include <charconv>
#include <cmath>
#include <limits>

bool UTimeText::Parse(const LString& text, float& seconds) {
    const char* p = text.CStr();
    const char* end = p + text.Length();
    while (p < end && (*p == ' ' || *p == '\t')) ++p;
    while (end > p && (end[-1] == ' ' || end[-1] == '\t')) --end;
    if (p == end) return false;
    bool negative = false;
    if (*p == '-') {
        negative = true;
        ++p;
    }
    double value = 0;
    for (int field = 0;; ++field) {
        if (field >= kMaxFields || p == end || *p == '-' || *p == '+') return false;
        double number = 0;
        const auto [next, error] = std::from_chars(p, end, number, std::chars_format::fixed);
        if (error != std::errc() || !std::isfinite(number)) return false;
        value = value * 60 + number;
        p = next;
        if (p == end) break;
        if (*p != ':') return false;
        ++p;
    }
    if (negative) value = -value;
    if (!std::isfinite(value) || std::fabs(value) > std::numeric_limits<float>::max()) return false;
    seconds = static_cast<float>(value);
    return true;
}
