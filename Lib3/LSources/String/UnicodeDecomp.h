#pragma once

#include <cstdint>

class LStrBuf;

// Canonical decomposition (NFD) of UTF-8 text, from the program's own tables.
class UnicodeDecomp {
public:
    // Appends the decomposed form of the text to out; false when a decoding error stopped it (out
    // then holds what was done).
    [[nodiscard]] static bool DecomposeUtf8(const unsigned char* text, uint32_t length, LStrBuf& out);
    static bool DecomposeUtf8(const unsigned char* text, LStrBuf& out);

    // The canonical combining class of a code point (0 for starters).
    static uint8_t CombiningClass(uint32_t codePoint);

    // The Unicode version the tables were generated from.
    static const char* Version();
};

inline bool DecomposeUtf8(const unsigned char* text, LStrBuf& out) {
    return UnicodeDecomp::DecomposeUtf8(text, out);
}
