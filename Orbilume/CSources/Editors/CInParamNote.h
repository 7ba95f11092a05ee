#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/LHandler.h"
#include "Lib3/LSources/CoreString/LString.h"

// An edit of a unit input's value ("CInParamNote_Change") or a composition chosen as its animator
// ("CInParamNote_Anim"), sent up with the note as the sender. Main thread only.
L_MESSAGE_ID(CInParamNote_Change);
L_MESSAGE_ID(CInParamNote_Anim);

class CInParamNote : public LHandler {
public:
    CInParamNote(uint32_t unitId, const LString& key, const LString& value)
        : unitId(unitId), key(key), value(value) {}

    uint32_t unitId;
    LString key;
    LString value;
};
