#include "Common/Stream/CSubstringMatcher.h"

CSubstringMatcher::CSubstringMatcher(const LString& pattern) : fPattern(pattern) {
    const unsigned char* p = fPattern.Text();
    int32_t n = static_cast<int32_t>(fPattern.Length());
    fFailure.Append(-1);
    int32_t k = -1;
    for (int32_t i = 0; i < n; ++i) {
        while (k >= 0 && p[k] != p[i]) k = fFailure[static_cast<uint32_t>(k)];
        ++k;
        fFailure.Append(k);
    }
}

bool CSubstringMatcher::Feed(unsigned char c) {
    if (IsComplete()) return true;
    // A table that could not be built (no memory) matches nothing rather than reading past it.
    if (fFailure.Count() != fPattern.Length() + 1) return false;
    const unsigned char* p = fPattern.Text();
    while (fPosition >= 0 && p[fPosition] != c) fPosition = fFailure[static_cast<uint32_t>(fPosition)];
    ++fPosition;
    return IsComplete();
}
