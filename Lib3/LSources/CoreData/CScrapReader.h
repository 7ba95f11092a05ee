#pragma once

#include <cstddef>
#include <cstdint>

#include "Lib3/LSources/CoreData/CRecordRef.h"

class CRecordHolder;

// Reads the records of a scrap image (outside data: every length, count and nesting is checked).
class CScrapReader {
public:
    // The bytes must outlive the reader. Form type and version stay 0 without an outer chunk.
    CScrapReader(const void* bytes, size_t length);

    uint32_t FormType() const { return mFormType; }
    uint32_t Version() const { return mVersion; }

    // The next record as a new tree the caller owns; null when no further record chunk can be
    // read. A chunk of an unknown type yields null too, and the next call reads on after it.
    // With a holder, its ResolveType chooses the types.
    CRecord* ReadRecord(CRecordHolder* resolver = nullptr);
    // Fills an existing record in place from the next record chunk, which must have its type;
    // edits go through the setters without an editor, so a record in a holder broadcasts them.
    bool FillRecord(CRecordRef ref, CRecordHolder* resolver = nullptr);
    // True when no further chunk follows.
    bool AtEnd() const;

private:
    const uint8_t* mBytes;
    size_t mSize;
    size_t mPos = 0;
    size_t mEnd = 0;
    uint32_t mFormType = 0;
    uint32_t mVersion = 0;
};
