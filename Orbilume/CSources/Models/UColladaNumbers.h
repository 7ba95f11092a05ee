#pragma once

#include <cstdint>
#include <vector>

#include "Lib3/LSources/CoreString/LString.h"

class CXmlElement;

// Numbers of COLLADA texts: white-space separated tokens read without copying the text. A token that
// is not a number reads 0; integers saturate to 32 bits; floats beyond the float range are infinite.
class UColladaNumbers {
public:
    static float ToFloat(const char* begin, const char* end);
    static int32_t ToInt(const char* begin, const char* end);
    static int32_t ToInt(const LString& text) { return ToInt(text.CStr(), text.CStr() + text.Length()); }

    // Appends the element's numbers (at most max of them).
    static void ReadFloats(const CXmlElement* e, std::vector<float>& out, uint64_t max = UINT64_MAX);
    static void ReadInts(const CXmlElement* e, std::vector<int32_t>& out, uint64_t max = UINT64_MAX);
    static void ReadFloats(const char* begin, const char* end, std::vector<float>& out, uint64_t max);

    // Calls fn(begin, end) for each token, at most max of them.
    template <class Fn>
    static void ForEachToken(const char* p, const char* end, uint64_t max, Fn&& fn) {
        for (uint64_t n = 0; n < max; ++n) {
            while (p < end && IsSpace(*p)) ++p;
            if (p == end) return;
            const char* b = p;
            while (p < end && !IsSpace(*p)) ++p;
            fn(b, p);
        }
    }
    static bool IsSpace(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; }
};
