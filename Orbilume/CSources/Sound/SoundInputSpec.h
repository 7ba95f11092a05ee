#pragma once

#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreString/LString.h"

class LHandler;

// Which input a sound input opens: the device's name (empty: the default input device) and the
// name of its data source (empty: leave the device's source as it is).
struct SoundInputSpec {
    LString device;
    LString source;

    // Keys "dev" and "src" of a parameter set; an empty name removes its key, and an absent key reads
    // as the empty name. `editor` (may be null) records the change for undo.
    void WriteSettings(CRecordRef set, LHandler* editor) const;
    void ReadSettings(CRecordRef set);
};
