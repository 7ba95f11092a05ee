#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/CRecordRef.h"

class LHandler;

// Making schedule records (YQLH SCEV entries and SCEP periods). Main thread only.
class USchedule {
public:
    // A new entry with the type's defaults (the caller owns it); null when none could be made.
    static CRecord* NewEntry();
    // A new period with the type's defaults (the caller owns it); null when none could be made.
    static CRecord* NewPeriod();
    // Appends the period (adopted) to the entry's 'prds' through the undoable insert; its index, or
    // -1 when the entry is no SCEV or the insert was refused (the period is then deleted).
    static int32_t AppendPeriod(CRecordRef entry, LHandler* editor, CRecord* period);
};
