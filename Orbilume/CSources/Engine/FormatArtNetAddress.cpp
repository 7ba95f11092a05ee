#include "Orbilume/CSources/Engine/FormatArtNetAddress.h"

namespace {

// Writes value's digits backwards ending at out[last], blanks in front down to out[first].
void RightAligned(uint32_t value, char* out, int first, int last) {
    int i = last;
    do {
        out[i--] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value && i >= first);
    while (i >= first) out[i--] = ' ';
}

}  // namespace

void FormatArtNetAddress(int32_t portAddress, char out[10]) {
    const uint32_t a = static_cast<uint32_t>(portAddress);
    RightAligned((a >> 8) & 127, out, 0, 2);
    out[3] = '/';
    RightAligned((a >> 4) & 15, out, 4, 5);
    out[6] = '/';
    RightAligned(a & 15, out, 7, 8);
    out[9] = 0;
}
