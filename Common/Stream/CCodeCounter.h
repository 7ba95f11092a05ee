#pragma once

#include <cstdint>

#include "Common/Container/CArray.h"

// Counts occurrences of 16-bit codes, kept sorted by code.
class CCodeCounter {
public:
    struct Entry {
        uint16_t code;
        uint16_t count;
    };

    // The code's count before this call (0 for a new code); the count goes up by one.
    uint16_t Count(uint16_t code);

    uint32_t Size() const { return fEntries.Count(); }
    const Entry& At(uint32_t i) const { return fEntries[i]; }

private:
    CArray<Entry> fEntries;
};
