#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreData/LStrListRsrc.h"
#include "Lib3/LSources/CoreUI/LModalDialog.h"

class CNumVol;
class CScriptLayoutPane;
class LPopupList;
class LStdButton;

// The blend-fader control dialog over a document's CTRL record: a type pop-up (none, DMX, MIDI
// control change over channels, over controller numbers) and the area the type asks for, DMX
// ("CTLINDMX": the channel, 1..512) or MIDI ("CTLINMIDICC": channel 1..16, controller 0..127).
// Texts from the string list "CTLINDLG", layouts "CTLINDLG" and the areas'. Main thread only.
class CCtlInDlg : public LModalDialog {
public:
    static constexpr const char* kName = "CTLINDLG";
    enum Area : uint32_t { kDmxArea, kMidiArea, kAreaCount };

    CCtlInDlg(LHandler* upper, LPane* owner);
    ~CCtlInDlg() override;

    // A change of the type pop-up shows its area; everything else goes to the modal dialog.
    LMessage Handle(const LMessage& msg) override;
    // Selects item t (clamped to the list); 1 shows the DMX area, 2 and 3 the MIDI area, any other
    // neither. The areas are only shown or hidden.
    void SelectType(int32_t t);

    // 'ctyp', 'dxch' + 1, 'mdch' + 1, 'mdcn'.
    void Load(const CRecord* ctrl);
    // The four fields back (the one-based knobs minus 1), through the editor (null: no undo).
    void Store(CRecordRef ctrl, LHandler* editor);

    LStdButton* OkButton() const { return mOk; }
    LStdButton* CancelBtn() const { return mCancel; }
    LPopupList* TypePopup() const { return mType; }
    CScriptLayoutPane* AreaPane(uint32_t area) const { return area < kAreaCount ? mAreas[area] : nullptr; }
    CNumVol* DmxChannel() const { return mDmxChannel; }
    CNumVol* MidiChannel() const { return mMidiChannel; }
    CNumVol* MidiController() const { return mController; }

private:
    CNumVol* Knob(LPane* owner, float minimum, float maximum);

    LStrListRsrcH mStrings;
    LStdButton* mOk;  // children of the dialog or its areas
    LStdButton* mCancel;
    LPopupList* mType;
    CScriptLayoutPane* mAreas[kAreaCount] = {};
    CNumVol* mDmxChannel = nullptr;
    CNumVol* mMidiChannel = nullptr;
    CNumVol* mController = nullptr;
};
