#pragma once

#include "Common/ObjC/CMacMainLoop.h"
#include "Lib3/LSources/CoreData/LHandler.h"

namespace dialogtest {

// The application root of dialog tests: runs modal steps, swallows what a real application would take.
struct ModalRoot : LHandler {
    CMacMainLoop* loop = nullptr;
    LMessage Handle(const LMessage& msg) override {
        if (msg.Is("LHandler_Mode")) {
            if (loop && msg.sender) loop->RunModal(msg.sender);
            return LMessage();
        }
        for (const char* id : {"LPane_Defer", "LPane_ReqFocus", "LFrame_Place", "LFrame_Activate",
                               "LFrame_Deactivate", "LPane_ReqCapture", "LMouse_Cursor"})
            if (msg.Is(id)) return LMessage();
        return LHandler::Handle(msg);
    }
};

}  // namespace dialogtest
