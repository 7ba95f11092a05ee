#pragma once

#include <cstdint>

// Incremental base64 decoder: feed text in any pieces, take bytes whenever 8 bits are held.
class CBase64Decoder {
public:
    void Reset() {
        fBits = 0;
        fCount = 0;
        fPadding = 0;
    }
    // Number of bytes not consumed: 0 when all were used. Decoding stops at a byte outside the
    // alphabet, at a third "=", or at data after padding; the state is kept either way.
    uint32_t Feed(const char* text, uint32_t count);
    // The top 8 held bits when at least 8 are held, else 0 (check BitCount() first).
    uint8_t NextByte();
    uint8_t BitCount() const { return fCount; }
    uint8_t PaddingBits() const { return fPadding; }

private:
    uint32_t fBits = 0;
    uint8_t fCount = 0;
    uint8_t fPadding = 0;
};
