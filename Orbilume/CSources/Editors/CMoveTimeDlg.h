#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/CoreUI/LModalDialog.h"

class CTimecodeEdit;
class LStdButton;
class LTextPane;

// The move-time dialog ("MOVETIMEDLG"): one time (hundredths, unsigned) set and read in
// milliseconds, OK and Cancel. Strings: 0 title, 1 OK, 2 Cancel, 3 the label; the layout's parts 0,
// 1 and 2 are run in order. Main thread only.
class CMoveTimeDlg : public LModalDialog {
public:
    static constexpr const char* kName = "MOVETIMEDLG";

    CMoveTimeDlg(LHandler* upper, LPane* owner, const LFrameSpec& spec = DefaultSpec());

    void SetMilliseconds(int64_t ms);
    int64_t Milliseconds() const;

    static LFrameSpec DefaultSpec();

    LStdButton* OkButton() const { return fOk; }
    LStdButton* CancelButton() const { return fCancel; }
    LTextPane* Label() const { return fLabel; }
    CTimecodeEdit* TimeField() const { return fTime; }

private:
    LString String(uint32_t n) const;

    LStdButton* fOk = nullptr;
    LStdButton* fCancel = nullptr;
    LTextPane* fLabel = nullptr;
    CTimecodeEdit* fTime = nullptr;
};
