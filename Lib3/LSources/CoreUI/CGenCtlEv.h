#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/LHandler.h"

// An external controller asks the control with the focus to step by a signed count.
L_MESSAGE_ID(CGenCtlEv_Step);

// The sender of "CGenCtlEv_Step": the controller's request, made on the stack by whoever dispatches it.
class CGenCtlEv : public LHandler {
public:
    explicit CGenCtlEv(int32_t step) : LHandler(nullptr), fStep(step) {}
    int32_t Step() const { return fStep; }

private:
    int32_t fStep;
};
