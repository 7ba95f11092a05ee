#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreUI/LFrame.h"

class LStdButton;

L_MESSAGE_ID(LDialog_Default);
L_MESSAGE_ID(LDialog_Escape);

// A frame with a default and a cancel button: Return and Enter press the default button, Escape the
// cancel button (each flashed first), and the close box the cancel button (else the default one).
// Their selection becomes "LDialog_Default" and "LDialog_Escape" from the dialog to its upper
// handler. A button that is hidden or disabled is not pressed: the key goes on to the frame, and a
// close with such a button is ignored. Main thread only.
class LDialog : public LFrame {
public:
    static constexpr uint32_t kFlashMs = 142;
    using SleepFunction = void (*)(uint32_t ms);

    LDialog(LHandler* upper, LPane* owner, const LFrameSpec& spec = LFrameSpec::Default());

    LMessage Handle(const LMessage& msg) override;

    // The old default button loses the accent, the new one gains it.
    void SetDefaultButton(LStdButton* button);
    void SetCancelButton(LStdButton* button);
    LStdButton* DefaultButton() const { return mDefault; }
    LStdButton* CancelButton() const { return mCancel; }
    // Highlights the button, redraws the window at once, waits kFlashMs and removes the highlight.
    void FlashButton(LStdButton* button);

    // How the flash waits (tests wait on their fake clock); null restores the real wait.
    static void SetSleepFunction(SleepFunction sleep);

private:
    LMessage Press(LStdButton* button);

    LStdButton* mDefault = nullptr;  // children of the dialog, not owned here
    LStdButton* mCancel = nullptr;
};
