#pragma once

#include <cstdint>

class LStrBuf;

// UTF-8 checks and the encoder of one code point.
class UUtf8 {
public:
    // The structure of the whole text: lead bytes and their continuation bytes, within the length.
    // Overlong forms and surrogates pass (the platform's conversion refuses them). Length 0 is valid.
    static bool IsValid(const unsigned char* text, uint32_t length);

    // Appends the standard form of one code point; refuses surrogates and values above 0x10FFFF
    // (false, nothing written).
    [[nodiscard]] static bool Append(LStrBuf& out, uint32_t codePoint);

    // Decodes one code point at text[*pos] (strict: no overlong forms, surrogates or values above
    // 0x10FFFF) and advances *pos; false at a decoding error.
    [[nodiscard]] static bool Decode(const unsigned char* text, uint32_t length, uint32_t& pos,
                                     uint32_t& codePoint);
};

inline bool isValidUtf8(const unsigned char* text, uint32_t length) {
    return UUtf8::IsValid(text, length);
}
