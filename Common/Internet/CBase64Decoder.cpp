#include "Common/Internet/CBase64Decoder.h"

namespace {

int ValueOf(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    if (c == '=') return -2;
    return -1;
}

}  // namespace

uint32_t CBase64Decoder::Feed(const char* text, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) {
        const int v = ValueOf(static_cast<unsigned char>(text[i]));
        if (v == -1) return count - i;
        if (v == -2) {
            if (fPadding >= 12) return count - i;
            fPadding = static_cast<uint8_t>(fPadding + 6);
            continue;
        }
        if (fPadding) return count - i;
        // Only the low bits that are still to be taken matter; the held count stays below 14.
        fBits = (fBits << 6) | static_cast<uint32_t>(v);
        fCount = static_cast<uint8_t>(fCount + 6);
        if (fCount > 24) fCount = 24;
    }
    return 0;
}

uint8_t CBase64Decoder::NextByte() {
    if (fCount < 8) return 0;
    fCount = static_cast<uint8_t>(fCount - 8);
    const uint8_t byte = static_cast<uint8_t>(fBits >> fCount);
    fBits &= (fCount ? (1u << fCount) - 1 : 0);
    return byte;
}
