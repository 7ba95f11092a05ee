#include "Orbilume/CSources/Osc/OscArg.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

const char* SkipBlanks(const char* s) {
    while (*s == ' ' || *s == '\t') ++s;
    return s;
}

int32_t Saturate(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (v <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    return int32_t(v);
}

int32_t TextToInt(const char* s) {
    if (!s) return 0;
    s = SkipBlanks(s);
    if (*s == '+') ++s;
    const char* end = s + std::strlen(s);
    int64_t v = 0;
    auto r = std::from_chars(s, end, v);
    if (r.ec == std::errc::result_out_of_range)
        return *s == '-' ? std::numeric_limits<int32_t>::min() : std::numeric_limits<int32_t>::max();
    if (r.ec != std::errc()) return 0;
    return Saturate(double(v));
}

float TextToFloat(const char* s) {
    if (!s) return 0;
    s = SkipBlanks(s);
    if (*s == '+') ++s;
    float v = 0;
    auto r = std::from_chars(s, s + std::strlen(s), v);
    return r.ec == std::errc() ? v : 0.0f;
}

std::string Fixed(double v, int decimals) {
    if (decimals < 0) decimals = 0;
    if (decimals > 9) decimals = 9;
    char buf[400];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    if (r.ec != std::errc()) return std::string();
    return std::string(buf, r.ptr);
}

}  // namespace

OscArg OscArg::Int(int32_t v) {
    OscArg a;
    a.tag = 'i';
    a.value.i = v;
    return a;
}
OscArg OscArg::Float(float v) {
    OscArg a;
    a.tag = 'f';
    a.value.f = v;
    return a;
}
OscArg OscArg::Text(const char* s) {
    OscArg a;
    a.tag = 's';
    a.value.s = s;
    return a;
}
OscArg OscArg::Blob(const uint8_t* bytes, uint32_t length) {
    OscArg a;
    a.tag = 'b';
    a.value.b = bytes;
    a.size = length;
    return a;
}
OscArg OscArg::TimeTag(uint64_t v) {
    OscArg a;
    a.tag = 't';
    a.value.t = v;
    return a;
}
OscArg OscArg::Flag(char tag) {
    OscArg a;
    a.tag = uint8_t(tag);
    return a;
}

int32_t OscArg::AsInt() const {
    switch (tag) {
        case 'i':
            return value.i;
        case 'f': {
            float v = value.f;
            v = v < 0 ? v - 0.49999997f : v + 0.49999997f;
            return Saturate(std::trunc(double(v)));
        }
        case 's':
            return TextToInt(value.s);
        case 'T':
            return 1;
        case 't':
            return int32_t(uint32_t(value.t >> 32));
        default:
            return 0;
    }
}

float OscArg::AsFloat() const {
    switch (tag) {
        case 'f':
            return value.f;
        case 'i':
            return float(value.i);
        case 's':
            return TextToFloat(value.s);
        case 'T':
            return 1.0f;
        case 't':
            return float(double(value.t) / 4294967296.0);
        default:
            return 0.0f;
    }
}

std::string OscArg::AsText(int decimals) const {
    switch (tag) {
        case 'F':
            return "0";
        case 'T':
            return "1";
        case 'f':
            return Fixed(double(value.f), decimals);
        case 'i':
            return std::to_string(value.i);
        case 's':
            return value.s ? std::string(value.s) : std::string();
        case 't':
            return Fixed(double(value.t) / 4294967296.0, decimals);
        default:
            return std::string();
    }
}
