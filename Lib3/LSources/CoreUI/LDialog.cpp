#include "Lib3/LSources/CoreUI/LDialog.h"

#include "Lib3/LSources/CoreData/LTimer.h"
#include "Lib3/LSources/CoreUI/LKeyboard.h"
#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Lib3/LSources/CoreUI/LWindow.h"

namespace {

LDialog::SleepFunction gSleep = nullptr;

}  // namespace

LDialog::LDialog(LHandler* upper, LPane* owner, const LFrameSpec& spec) : LFrame(upper, owner, spec) {
    if (Window()) SetBackground(LColor::System(Window()->Kind() == LWindow::kModal ? 2 : 1));
}

void LDialog::SetSleepFunction(SleepFunction sleep) {
    gSleep = sleep;
}

void LDialog::SetDefaultButton(LStdButton* button) {
    if (button == mDefault) return;
    if (mDefault) mDefault->SetDefault(false);
    mDefault = button;
    if (mDefault) mDefault->SetDefault(true);
}

void LDialog::SetCancelButton(LStdButton* button) {
    mCancel = button;
}

void LDialog::FlashButton(LStdButton* button) {
    if (!button) return;
    button->Highlight(true);
    button->UpdateNow();
    if (gSleep)
        gSleep(kFlashMs);
    else
        MillisecondWait(kFlashMs);
    button->Highlight(false);
}

LMessage LDialog::Press(LStdButton* button) {
    return LMessage(LStdCtl_Selected, button, this);
}

LMessage LDialog::Handle(const LMessage& msg) {
    LHandler* sender = msg.sender;
    if (msg.Is(LKeyboard_Down)) {
        LKeyboard* kb = LKeyboard::Get();
        if (kb && sender == kb) {
            const uint8_t c = kb->Char();
            LStdButton* button = (c == 3 || c == 13) ? mDefault : c == 27 ? mCancel : nullptr;
            if (button && button->IsUsable()) {
                FlashButton(button);
                return Press(button);
            }
        }
        return LFrame::Handle(msg);
    }
    if (msg.Is(LStdCtl_Selected) && sender) {
        if (sender == mDefault) return LMessage(LDialog_Default, this, Upper());
        if (sender == mCancel) return LMessage(LDialog_Escape, this, Upper());
        return LFrame::Handle(msg);
    }
    if (msg.Is(LWindow_Close) && Window() && sender == Window()) {
        LStdButton* button = mCancel ? mCancel : mDefault;
        if (!button) return LFrame::Handle(msg);
        if (button->IsActive()) return Press(button);
        return LMessage();
    }
    if (msg.Is(LPane_Destructing) && sender && sender != this) {
        if (sender == mDefault) mDefault = nullptr;
        if (sender == mCancel) mCancel = nullptr;
    }
    return LFrame::Handle(msg);
}
