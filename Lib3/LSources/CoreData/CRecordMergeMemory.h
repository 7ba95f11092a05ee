#pragma once

#include <cstdint>

class CRecord;

// The process-wide memory of the last edit, which decides whether a continuous edit may extend the
// previous undo entry. Main thread only.
class CRecordMergeMemory {
public:
    // The remembered record, or null.
    static const CRecord* Record();
    static int32_t ElementIndex();
    // Called when a record goes, so that a new record at the same address never merges with it.
    static void Forget(const CRecord* record);
    // Clears the remembered record (structural edits, resets).
    static void ClearRecord();

private:
    friend class CRecordHolder;
    struct State {
        const CRecord* record = nullptr;
        const void* type = nullptr;
        uintptr_t position = 0;
        uint32_t field = 0;
        uint32_t indexInParent = 0;
        int32_t element = -1;
    };
    static State& Get();
};
