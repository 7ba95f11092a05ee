#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/CoreUI/LModalDialog.h"

class CMonitorWin;
class CNumVol;
class LStdButton;
class LStdCheck;
class LTextPane;

// The monitor size dialog ("MONSZDLG"): width and height knobs (32..8192, step 1; 512 and 384 at
// first), the aspect text they give, and the check box that fixes the monitor window's size. Its
// strings: 0 title, 1 OK, 2 Cancel, 3-5 the width, height and aspect labels, 6 the check box.
// Main thread only.
class CMonitorSizeDlg : public LModalDialog {
public:
    static constexpr const char* kName = "MONSZDLG";
    static constexpr float kMinSide = 32;
    static constexpr float kMaxSide = 8192;

    CMonitorSizeDlg(LHandler* upper, LPane* owner, const LFrameSpec& spec = DefaultSpec());

    // Every committed knob value rewrites the aspect text; the rest is the modal dialog's.
    LMessage Handle(const LMessage& msg) override;

    void SetSize(uint32_t width, uint32_t height);
    uint32_t Width() const;
    uint32_t Height() const;
    void SetFixed(bool on);
    bool IsFixed() const;
    // Width over height at 3 decimals, trailing zeros dropped.
    void UpdateAspectText();

    // The monitor size command: opens the dialog with the monitor's view size (when there is a
    // monitor) and the preference 'vfsz'; on OK stores the check box and sizes the view. Answers
    // the dialog's result (1 OK, 2 Cancel).
    static uint32_t RunCommand(LHandler* upper, CMonitorWin* monitor);
    // Its two halves: the knobs from the monitor's view and the check box from 'vfsz'; after OK,
    // 'vfsz' from the check box and the monitor's view from the knobs.
    void Preset(CMonitorWin* monitor);
    void Apply(CMonitorWin* monitor) const;

    static LFrameSpec DefaultSpec();

    LStdButton* OkButton() const { return fOk; }
    LStdButton* CancelButton() const { return fCancel; }
    CNumVol* WidthKnob() const { return fWidth; }
    CNumVol* HeightKnob() const { return fHeight; }
    LTextPane* AspectText() const { return fAspect; }
    LStdCheck* CheckBox() const { return fCheck; }
    LTextPane* Label(uint32_t i) const { return i < 3 ? fLabels[i] : nullptr; }

private:
    LString String(uint32_t n) const;
    static uint32_t Side(const CNumVol* knob);

    LStdButton* fOk;
    LStdButton* fCancel;
    LTextPane* fLabels[3];
    CNumVol* fWidth;
    CNumVol* fHeight;
    LTextPane* fAspect;
    LStdCheck* fCheck;
};
