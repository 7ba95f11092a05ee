#include "Orbilume/CSources/Models/UColladaNumbers.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "Common/Stream/CXmlElement.h"

float UColladaNumbers::ToFloat(const char* begin, const char* end) {
    if (begin < end && *begin == '+') ++begin;
    double d = 0;
    auto r = std::from_chars(begin, end, d);
    if (r.ec == std::errc::result_out_of_range) {
        // Too large or too small for a double: the sign decides, tiny values are 0.
        const char* p = begin;
        bool negative = p < end && *p == '-';
        bool tiny = false;
        for (; p < end; ++p)
            if (*p == 'e' || *p == 'E') tiny = p + 1 < end && p[1] == '-';
        if (tiny) return 0;
        return negative ? -HUGE_VALF : HUGE_VALF;
    }
    if (r.ec != std::errc()) return 0;
    if (std::isnan(d)) return std::numeric_limits<float>::quiet_NaN();
    if (d > std::numeric_limits<float>::max()) return HUGE_VALF;
    if (d < -std::numeric_limits<float>::max()) return -HUGE_VALF;
    return static_cast<float>(d);
}

int32_t UColladaNumbers::ToInt(const char* begin, const char* end) {
    if (begin < end && *begin == '+') ++begin;
    int64_t v = 0;
    auto r = std::from_chars(begin, end, v);
    if (r.ec == std::errc::result_out_of_range) return begin < end && *begin == '-' ? INT32_MIN : INT32_MAX;
    if (r.ec != std::errc()) return 0;
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(v);
}

void UColladaNumbers::ReadFloats(const char* begin, const char* end, std::vector<float>& out, uint64_t max) {
    ForEachToken(begin, end, max, [&](const char* b, const char* e) { out.push_back(ToFloat(b, e)); });
}

void UColladaNumbers::ReadFloats(const CXmlElement* e, std::vector<float>& out, uint64_t max) {
    if (!e) return;
    const char* t = e->Text().CStr();
    ReadFloats(t, t + e->Text().Length(), out, max);
}

void UColladaNumbers::ReadInts(const CXmlElement* e, std::vector<int32_t>& out, uint64_t max) {
    if (!e) return;
    const char* t = e->Text().CStr();
    ForEachToken(t, t + e->Text().Length(), max,
                 [&](const char* b, const char* x) { out.push_back(ToInt(b, x)); });
}
