#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/CoreUI/LModalDialog.h"

class LPopupList;
class LStdButton;
class LTextPane;

// The USB DMX interface dialog ("CDMXIODLG"): a pop-up of the connected interfaces' keys in
// discovery order; OK is disabled while there are none. Main thread only.
class CDmxIoDlg : public LModalDialog {
public:
    static constexpr const char* kName = "CDMXIODLG";

    CDmxIoDlg(LHandler* upper, LPane* owner);
    ~CDmxIoDlg() override;

    // The keys as items, preset to the first whose text equals the stored key byte for byte, else
    // the first.
    void SetKeys(const std::vector<std::string>& keys, const LString& stored);
    // The selected key; empty when the pop-up holds none.
    LString SelectedKey() const;

    LStdButton* OkButton() const { return mOk; }
    LStdButton* CancelBtn() const { return mCancel; }
    LPopupList* KeyPopup() const { return mKeys; }

private:
    LStdButton* mOk;  // children
    LStdButton* mCancel;
    LTextPane* mLabel;
    LPopupList* mKeys;
};

// The DMX dead-zone dialog ("DEADZONEDLG"): a percentage 0..100, step 1. Main thread only.
class CNumVol;
class CDeadZoneDlg : public LModalDialog {
public:
    static constexpr const char* kName = "DEADZONEDLG";

    CDeadZoneDlg(LHandler* upper, LPane* owner);
    ~CDeadZoneDlg() override;

    void SetPercent(int32_t percent);
    // The knob's value (typed text too), clamped and truncated.
    uint32_t Percent() const;

    LStdButton* OkButton() const { return mOk; }
    CNumVol* Knob() const { return mKnob; }

private:
    LStdButton* mOk;  // children
    LStdButton* mCancel;
    LTextPane* mLabel;
    CNumVol* mKnob;
};
