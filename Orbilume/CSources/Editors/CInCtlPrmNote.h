#pragma once

#include <cstdint>
#include <vector>

#include "Lib3/LSources/CoreData/LHandler.h"
#include "Lib3/LSources/CoreString/LString.h"

// An edit of an input's control assignment, sent up as the sender of "CInCtlPrmNote_Note": one key
// and its value (empty for off), the unit id (0 until an input-parameter frame fills it) and the
// keys of the parameter sets that lead to it, innermost first. Main thread only.
L_MESSAGE_ID(CInCtlPrmNote_Note);

class CInCtlPrmNote : public LHandler {
public:
    CInCtlPrmNote(const LString& key, const LString& value) : key(key), value(value) {}

    LString key;
    LString value;
    uint32_t unitId = 0;
    std::vector<LString> path;
};
