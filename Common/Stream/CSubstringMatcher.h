#pragma once

#include <cstdint>

#include "Common/Container/CArray.h"
#include "Lib3/LSources/CoreString/LString.h"

// Finds one pattern in a byte stream fed one byte at a time (Knuth-Morris-Pratt). Once the
// pattern has been seen the matcher stays complete.
class CSubstringMatcher {
public:
    explicit CSubstringMatcher(const LString& pattern);

    // True when the pattern has been completed with this byte or earlier.
    bool Feed(unsigned char c);
    bool IsComplete() const { return fPosition == static_cast<int32_t>(fPattern.Length()); }

private:
    LString fPattern;
    int32_t fPosition = 0;
    CArray<int32_t> fFailure;  // entry 0 is -1; entry i + 1 is the longest proper border of i + 1 bytes
};
