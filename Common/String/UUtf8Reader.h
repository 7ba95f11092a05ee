#pragma once

#include <cstdint>

class LCharIn;

// Reads one UTF-8 code point from a byte source.
struct UUtf8Reader {
    enum Result : int {
        kOk = 0,         // one code point delivered
        kExhausted = 1,  // no byte left before the first one
        kMalformed = 2,  // bad lead or continuation byte, truncated, overlong, surrogate, > U+10FFFF
    };
    // A byte that cannot continue the sequence is put back, so the next read starts at it.
    [[nodiscard]] static int Read(LCharIn& in, uint32_t& codePoint);
};
