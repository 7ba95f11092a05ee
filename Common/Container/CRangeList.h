#pragma once

#include <cstdint>

#include "Common/Container/CArray.h"

// Sorted, non-overlapping ranges [start, end) each carrying a non-zero value.
class CRangeList {
public:
    struct Entry {
        uint32_t start;
        uint32_t end;
        uint32_t value;
    };

    // Stores the value over the parts of [start, end) no entry covers yet; neighbours of the same
    // value that touch are merged. Ignored for value 0 or an empty range. False when memory ran out.
    [[nodiscard]] bool Add(uint32_t start, uint32_t end, uint32_t value);
    // The value of the entry holding the key, else 0.
    uint32_t Lookup(uint32_t key) const;

    const CArray<Entry>& Entries() const { return fEntries; }

private:
    bool InsertMerged(uint32_t index, const Entry& e, uint32_t& at);

    CArray<Entry> fEntries;
};
