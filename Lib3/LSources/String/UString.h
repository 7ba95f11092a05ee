#pragma once

#include <cstdint>
#include <cstring>

// Null-safe operations on NUL-terminated text; a null pointer counts as "".
class UString {
public:
    static bool IsEmpty(const char* s) { return !s || !*s; }
    static bool IsEmpty(const unsigned char* s) { return !s || !*s; }

    static uint32_t LengthOf(const char* s) { return s ? static_cast<uint32_t>(std::strlen(s)) : 0; }
    static uint32_t LengthOf(const unsigned char* s) { return LengthOf(reinterpret_cast<const char*>(s)); }

    // The program's text equality (also of message ids): null equals "", else byte equality.
    static bool IsEqual(const char* a, const char* b) {
        if (!a) a = "";
        if (!b) b = "";
        return a == b || std::strcmp(a, b) == 0;
    }
    static bool IsEqual(const unsigned char* a, const unsigned char* b) {
        return IsEqual(reinterpret_cast<const char*>(a), reinterpret_cast<const char*>(b));
    }
};
