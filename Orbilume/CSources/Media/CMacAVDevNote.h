#pragma once

#include "Lib3/LSources/CoreData/LHandler.h"

L_MESSAGE_ID(CMacAVDevNote_Add);
L_MESSAGE_ID(CMacAVDevNote_Rmv);

// Sends "CMacAVDevNote_Add" or "CMacAVDevNote_Rmv" to its upper handler when a capture device is
// connected or disconnected. Main thread only.
class CMacAVDevNote : public LHandler {
public:
    explicit CMacAVDevNote(LHandler* upper);
    ~CMacAVDevNote() override;

private:
    static void Notified(const char* name, const void* object, void* self);
};
