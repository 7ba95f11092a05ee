#include "Lib3/LSources/CoreUI/LModalDialog.h"

#include "Lib3/LSources/CoreData/CMainLoopBase.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Platform/Foundation/Check.h"

namespace {

constexpr LMsgId kHandlerMode{"LHandler_Mode"};
constexpr const char* kCmdHelp = "LStdCmd_Help";

}  // namespace

// Without an upper handler the application root is the dialog's: its modal steps, answers and focus
// requests go there.
LModalDialog::LModalDialog(LHandler* upper, LPane* owner, const LFrameSpec& spec)
    : LDialog(upper ? upper : CMainLoopBase::AppRoot(), owner, spec) {}

LModalDialog::~LModalDialog() {
    mTimer.Stop();
}

LMessage LModalDialog::Handle(const LMessage& msg) {
    LHandler* sender = msg.sender;
    if (msg.Is(LMenuBar_Ready) && sender) {
        static_cast<LMenuBar*>(sender)->EnableCommand(kCmdHelp);
        return msg.Retarget(sender);
    }
    if (msg.Is(LMenuItem_Selected) && sender) {
        if (static_cast<LMenuItem*>(sender)->HasCommand(kCmdHelp)) return LDialog::Handle(msg);
        return msg.Retarget(sender);
    }
    if (msg.Is(LTimer_Expire) && sender == &mTimer) {
        mTimer.StartOnce(0, 0);
        return LMessage();
    }
    if (sender == this) {
        if (msg.Is(LDialog_Default)) {
            mResult = 1;
            return LMessage();
        }
        if (msg.Is(LDialog_Escape)) {
            mResult = 2;
            return LMessage();
        }
        // No main loop took the modal step: nothing would ever answer, so the run ends cancelled.
        if (msg.Is(kHandlerMode) && mResult == 0) {
            mResult = 2;
            return LMessage();
        }
        // Closed by its close box without buttons to answer for it: nothing else would end the run.
        if (msg.Is(LFrame_Close) && !DefaultButton() && !CancelButton() && mResult == 0) mResult = 2;
    }
    return LDialog::Handle(msg);
}

uint32_t LModalDialog::Run(uint32_t timeoutMs) {
    PLAT_DCHECK_MAIN_THREAD();
    if (Window() && !IsVisible()) ShowWindow();
    mResult = 0;
    mTimer.StartOnce(timeoutMs, 0);
    if (Upper())
        Dispatch(LMessage(kHandlerMode, this, Upper()));
    else
        mResult = 2;  // no application root: nothing would ever answer
    mTimer.Stop();
    // A quit request ends the run cancelled; the main loop carries the quit out.
    const CMainLoopBase* loop = CMainLoopBase::Get();
    if (mResult == 0 && loop && loop->TerminationRequested()) mResult = 2;
    return mResult;
}

uint32_t LModalDialog::RunUntilResult() {
    uint32_t result = 0;
    while ((result = Run(kForever)) == 0) {
    }
    return result;
}
