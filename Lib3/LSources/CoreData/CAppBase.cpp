#include "Lib3/LSources/CoreData/CAppBase.h"

#include "Lib3/LSources/CoreData/CMainLoopBase.h"
#include "Lib3/LSources/CoreData/CMainLoopUI.h"

namespace {

// Ids owned by the user-interface classes; ids compare by text.
constexpr LMsgId kMenuBarReady{"LMenuBar_Ready"};
constexpr LMsgId kMenuItemSelected{"LMenuItem_Selected"};
constexpr LMsgId kHandlerMode{"LHandler_Mode"};
constexpr LMsgId kMouseCursor{"LMouse_Cursor"};
constexpr LMsgId kKeyboardDown{"LKeyboard_Down"};
constexpr LMsgId kKeyboardUp{"LKeyboard_Up"};
constexpr LMsgId kKeyboardChar{"LKeyboard_Char"};
constexpr LMsgId kPaneReqFocus{"LPane_ReqFocus"};
constexpr LMsgId kPaneReqCapture{"LPane_ReqCapture"};
constexpr LMsgId kPaneDefer{"LPane_Defer"};
constexpr LMsgId kPaneDeferred{"LPane_Deferred"};

constexpr const char* kCmdAbout = "LStdCmd_About";
constexpr const char* kCmdViewPref = "LStdCmd_ViewPref";
constexpr const char* kCmdHelp = "LStdCmd_Help";
constexpr const char* kCmdDelete = "LStdCmd_Delete";

}  // namespace

CAppBase::CAppBase(LoopFactory makeLoop) : LHandler(nullptr) {
    mLoop = makeLoop ? makeLoop(this) : nullptr;
}

CAppBase::~CAppBase() {
    delete mViewPrefs;
    mViewPrefs = nullptr;
    delete mLoop;
    mLoop = nullptr;
}

// With a menu bar: resets its commands and lets the focus chain enable what it can do. Returns the
// target that the chosen item's message goes to, or null when there is no menu bar.
LHandler* CAppBase::ReadyMenuBar() {
    CMainLoopUI* ui = CMainLoopUI::Get();
    LHandler* bar = ui ? ui->MenuBar() : nullptr;
    if (!bar) return nullptr;
    LHandler* target = mLoop ? mLoop->FocusTarget() : nullptr;
    if (!target) target = bar;
    ui->ResetMenuCommands();
    Dispatch(LMessage(kMenuBarReady, bar, target));
    return target;
}

void CAppBase::SelectItem(LHandler* item, LHandler* target) {
    Dispatch(LMessage(kMenuItemSelected, item, target));
}

LMessage CAppBase::HandleKey(const LMessage& msg) {
    CMainLoopUI* ui = CMainLoopUI::Get();
    if (msg.Is(kKeyboardDown)) {
        uint32_t c = ui->KeyChar();
        if (c == 127 || c == 8) {
            if (LHandler* target = ReadyMenuBar()) {
                if (LHandler* item = CMainLoopUI::Get()->FindEnabledItem(kCmdDelete)) {
                    SelectItem(item, target);
                    return LMessage();
                }
            }
        }
        // Unhandled: the window view sends the key again as "LKeyboard_Char".
        ui->ClearKeyHandled();
        return LMessage();
    }
    if (msg.Is(kKeyboardUp)) {
        ui->ClearKeyHandled();
        return LMessage();
    }
    // "LKeyboard_Char"
    uint32_t c = ui->KeyChar();
    bool plain = !(ui->KeyModifiers() &
                   (CMainLoopUI::kControlKey | CMainLoopUI::kOptionKey | CMainLoopUI::kCommandKey));
    if (plain && c >= 32 && c != 127) {
        if (LHandler* target = ReadyMenuBar()) {
            if (LHandler* item = CMainLoopUI::Get()->FindEnabledKeyItem()) {
                SelectItem(item, target);
                return LMessage();
            }
        }
    }
    ui->ClearKeyHandled();
    return LMessage();
}

LMessage CAppBase::Handle(const LMessage& msg) {
    CMainLoopUI* ui = CMainLoopUI::Get();
    LHandler* sender = msg.sender;

    if (ui && sender && sender == ui->MouseRecord()) {
        if (!msg.Is(kMouseCursor)) return LHandler::Handle(msg);
        ui->SetArrowCursor();
        return LMessage();
    }
    if (ui && sender && sender == ui->KeyboardRecord() &&
        (msg.Is(kKeyboardDown) || msg.Is(kKeyboardUp) || msg.Is(kKeyboardChar)))
        return HandleKey(msg);

    if (msg.Is(kMenuBarReady)) {
        if (ui) {
            ui->EnableCommand(kCmdAbout, nullptr);
            ui->EnableCommand(kCmdViewPref, nullptr);
            ui->EnableCommand(kCmdHelp, "");
        }
        return LHandler::Handle(msg);
    }
    if (msg.Is(kMenuItemSelected) && ui) {
        if (ui->ItemHasCommand(sender, kCmdAbout)) {
            ui->RunAboutBox(this);
            return LMessage();
        }
        if (ui->ItemHasCommand(sender, kCmdViewPref)) {
            if (!mViewPrefs) mViewPrefs = ui->MakeViewPrefsWindow(this);
            if (mViewPrefs) ui->ShowWindow(mViewPrefs);
            return LMessage();
        }
        return LHandler::Handle(msg);
    }
    if (msg.Is(kHandlerMode)) {
        if (mLoop && sender) mLoop->RunModal(sender);
        return LMessage();
    }
    if (msg.Is(kPaneReqFocus)) {
        if (ui && sender) ui->TakeFocus(sender);
        return LMessage();
    }
    if (msg.Is(kPaneReqCapture)) {
        if (ui && sender) {
            LHandler* holder = ui->CaptureHolder();
            if (holder && holder != sender) ui->ReleaseCapture();
            ui->SetCaptureHolder(sender);
        }
        return LMessage();
    }
    if (msg.Is(kPaneDefer)) {
        if (sender && mDeferred.IndexOf(sender) == mDeferred.kNotFound) {
            mDeferred.Append(sender);
            if (mDeferred.Count() == 1 && mLoop) mLoop->RequestUpdate();
        }
        return LMessage();
    }
    if (msg.Is(CMainLoopBase_Deferred) && sender && sender == mLoop) {
        DeferredPass();
        return LMessage();
    }
    if (msg.Is(LHandler_Destructing)) {
        ForgetDeferred(sender);
        if (ui && sender && ui->CaptureHolder() == sender) ui->SetCaptureHolder(nullptr);
        return LHandler::Handle(msg);
    }
    return LHandler::Handle(msg);
}

void CAppBase::ForgetDeferred(LHandler* pane) {
    for (uint32_t i = mDeferred.Count(); i-- > 0;) {
        if (mDeferred[i] != pane) continue;
        mDeferred.Remove(i);
        if (i < mDeferWalk) --mDeferWalk;
        return;
    }
}

// Serves the panes waiting now, last first. A pane deferred during the pass is appended behind the
// walk and waits for the next pass; one destroyed during it is dropped by ForgetDeferred.
void CAppBase::DeferredPass() {
    bool becameEmpty = false;
    mDeferWalk = mDeferred.Count();
    while (mDeferWalk > 0) {
        --mDeferWalk;
        LHandler* pane = mDeferred[mDeferWalk];
        mDeferred.Remove(mDeferWalk);
        if (mDeferred.Count() == 0) becameEmpty = true;
        Dispatch(LMessage(kPaneDeferred, pane, pane));
    }
    // A list that went empty asked for its own update when it filled again.
    if (!becameEmpty && mDeferred.Count() > 0 && mLoop) mLoop->RequestUpdate();
}
