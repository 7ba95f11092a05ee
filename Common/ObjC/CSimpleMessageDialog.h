#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/LStrListRsrc.h"
#include "Lib3/LSources/CoreUI/LModalDialog.h"

class LImagePane;
class LStdButton;
class LTextPane;

// A message box with OK and an optional Cancel, which may close itself after a time-out. Texts come
// from the string list "CSIMPLEMESSAGEDIALOG" (title, OK, Cancel); the layout is computed from the
// message. Main thread only.
class CSimpleMessageDialog : public LModalDialog {
public:
    // The longest a modal step waits, so that a time-out is seen on an idle machine.
    static constexpr uint32_t kStepMs = 1000;

    // windowKind: the kind of the box's window (0 in every use).
    CSimpleMessageDialog(LHandler* upper, LPane* owner, uint32_t windowKind = 0);
    ~CSimpleMessageDialog() override;

    // 1 for OK, a time-out (timeoutSec >= 1; 0 never closes by itself) or Escape without Cancel;
    // 0 for Cancel.
    uint32_t Run(const LString& text, uint32_t timeoutSec, bool showCancel);
    // Places the panes for the message and the window on screen.
    virtual void LayoutMessage();

    void SetWrap(bool wrap) { mWrap = wrap ? 1 : 0; }
    LStdButton* OkButton() const { return mOk; }
    LStdButton* CancelBtn() const { return mCancel; }
    LTextPane* MessagePane() const { return mMessage; }
    LImagePane* IconPane() const { return mIcon; }

private:
    LStdButton* mOk;  // children of the frame
    LStdButton* mCancel;
    LTextPane* mMessage;
    LImagePane* mIcon;
    uint8_t mWrap = 1;
    LStrListRsrcH mStrings;
};
