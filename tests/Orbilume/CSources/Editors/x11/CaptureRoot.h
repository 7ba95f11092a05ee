#pragma once

#include "Lib3/LSources/CoreData/CMainLoopUI.h"
#include "Lib3/LSources/CoreData/LHandler.h"
#include "Lib3/LSources/CoreUI/LFrame.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LPane.h"

namespace editorstest {

// Stands for the application at the top of a test window's chain: a pane that asks for the mouse
// (a dragger, a slider) gets it; focus, deferral, cursor and placement requests end here.
struct CaptureRoot : LHandler {
    LMessage Handle(const LMessage& msg) override {
        if (msg.Is(LPane_ReqFocus) || msg.Is(LPane_Defer) || msg.Is(LMouse_Cursor) || msg.Is(LFrame_Place))
            return LMessage();
        if (msg.Is(LPane_ReqCapture) && msg.sender) {
            if (CMainLoopUI* ui = CMainLoopUI::Get()) ui->SetCaptureHolder(msg.sender);
            return LMessage();
        }
        return LHandler::Handle(msg);
    }
};

}  // namespace editorstest
