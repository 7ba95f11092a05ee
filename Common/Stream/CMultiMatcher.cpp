#include "Common/Stream/CMultiMatcher.h"

#include <algorithm>
#include <cstring>

CMultiMatcher::CMultiMatcher(const char* const* patterns, uint32_t count)
    : fPatterns(patterns), fCount(std::min(count, kMaxPatterns)) {
    for (uint32_t i = 0; i < fCount; ++i) {
        size_t n = patterns[i] ? std::strlen(patterns[i]) : 0;
        fLengths[i] = n <= kMaxLength ? static_cast<uint32_t>(n) : 0;  // 0: never matches
    }
}

void CMultiMatcher::Release(uint32_t n) {
    std::memcpy(fReleased + fReleasedLength, fHeld, n);
    fReleasedLength += n;
    fHeldLength -= n;
    std::memmove(fHeld, fHeld + n, fHeldLength);
}

int CMultiMatcher::Feed(unsigned char c) {
    fReleasedLength = 0;
    fHeld[fHeldLength++] = c;
    for (;;) {
        bool prefix = false;
        for (uint32_t i = 0; i < fCount; ++i) {
            uint32_t len = fLengths[i];
            if (!(fActive >> i & 1) || len < fHeldLength || len == 0) continue;
            if (std::memcmp(fPatterns[i], fHeld, fHeldLength) != 0) continue;
            if (len == fHeldLength) {
                fMatched = static_cast<int>(i);
                fHeldLength = 0;
                return kMatched;
            }
            prefix = true;
        }
        if (prefix) return kInProgress;
        Release(1);
        if (fHeldLength == 0) return kIdle;
    }
}

void CMultiMatcher::Flush() {
    fReleasedLength = 0;
    Release(fHeldLength);
}
