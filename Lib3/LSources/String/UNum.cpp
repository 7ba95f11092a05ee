#include "Lib3/LSources/String/UNum.h"

#include <cstdlib>

#include "Lib3/LSources/CoreString/LCharIn.h"
#include "Lib3/LSources/CoreString/LVariStr.h"
#include "Lib3/LSources/CoreString/UCharIn.h"
#include "Lib3/LSources/String/CCLocaleScope.h"
#include "Lib3/LSources/String/ParseInt64Decimal.h"

namespace {

const char* C(const unsigned char* text) {
    return reinterpret_cast<const char*>(text);
}

// Reads one double like sscanf "%lg": true when a prefix of the word converts.
bool ConvertDouble(const char* word, double& value) {
    char* end = nullptr;
    value = std::strtod(word, &end);
    return end != word;
}

}  // namespace

int32_t UNum::ToInt(const unsigned char* text) {
    if (!text) return 0;
    CCLocaleScope c;
    return static_cast<int32_t>(std::strtol(C(text), nullptr, 10));
}

uint32_t UNum::ToUInt(const unsigned char* text) {
    if (!text) return 0;
    CCLocaleScope c;
    return static_cast<uint32_t>(std::strtoul(C(text), nullptr, 10));
}

uint32_t UNum::ToHex(const unsigned char* text) {
    if (!text) return 0;
    CCLocaleScope c;
    return static_cast<uint32_t>(std::strtoul(C(text), nullptr, 16));
}

int32_t UNum::ToPrefixedInt(const unsigned char* text) {
    if (!text) return 0;
    CCLocaleScope c;
    return static_cast<int32_t>(std::strtol(C(text), nullptr, 0));
}

double UNum::ToFloat(const unsigned char* text) {
    if (!text) return 0;
    CCLocaleScope c;
    return std::strtod(C(text), nullptr);
}

int64_t UNum::ToInt64(const unsigned char* text) {
    int64_t value = 0;
    if (!text || !ParseInt64Decimal(text, value)) return 0;
    return value;
}

int32_t UNum::ReadIntList(const unsigned char* text, int64_t* values, int32_t max) {
    if (!text) return 0;
    if (!values) max = INT32_MAX;
    LCStrCharIn in(C(text));
    int32_t n = 0;
    int64_t v;
    while (n < max && UCharIn::LineRead(in, v)) {
        if (values) values[n] = v;
        ++n;
        unsigned char c;
        if (!in.Get(c)) break;
        if (c == '.') {
            int32_t fraction;
            UCharIn::LineRead(in, fraction);
        } else {
            in.Unget();
        }
    }
    return n;
}

int32_t UNum::ReadDoubleList(const unsigned char* text, double* values, int32_t max) {
    if (!text) return 0;
    if (!values) max = INT32_MAX;
    LCStrCharIn in(C(text));
    CCLocaleScope c;
    int32_t n = 0;
    LVariStr<64> word;
    while (n < max) {
        word.Reset();
        if (!UCharIn::LineRead(in, word)) break;
        double v;
        if (!ConvertDouble(word.CStr(), v)) break;
        if (values) values[n] = v;
        ++n;
    }
    return n;
}
