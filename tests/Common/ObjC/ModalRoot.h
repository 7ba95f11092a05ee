#pragma once

#include "Common/ObjC/CMacMainLoop.h"
#include "Lib3/LSources/CoreData/LHandler.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LPane.h"

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

// The root of tests with real input (x11): the mouse capture and the focus go where a pane asks,
// as the main loop gives them.
struct LiveRoot : LHandler {
    CMacMainLoop* loop = nullptr;
    LMessage Handle(const LMessage& msg) override {
        if (msg.Is("LHandler_Mode")) {
            if (loop && msg.sender) loop->RunModal(msg.sender);
            return LMessage();
        }
        if (msg.Is(LPane_ReqCapture)) {
            if (LMouse::Get()) LMouse::Get()->Capture(msg.sender);
            return LMessage();
        }
        if (msg.Is(LPane_ReqFocus) && msg.sender) {
            auto* frame = static_cast<LPane*>(msg.sender);
            if (!(frame->State() & LPane::kFocused)) frame->ChangeState(LPane::kFocus);
            return LMessage();
        }
        for (const char* id :
             {"LPane_Defer", "LMouse_Cursor", "LFrame_Place", "LFrame_Activate", "LFrame_Deactivate"})
            if (msg.Is(id)) return LMessage();
        return LHandler::Handle(msg);
    }
};

}  // namespace dialogtest
