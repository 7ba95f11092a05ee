#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreData/LStrListRsrc.h"
#include "Lib3/LSources/CoreUI/LModalDialog.h"

class CNoteVol;
class CNumVol;
class CScriptLayoutPane;
class LPopupList;
class LStdButton;
class LStdCheck;
class LStdRadio;
class LTextPane;

// The scene control dialog: a controller pop-up and one area per controller (DMX, OSC, MIDI control
// change, MIDI note, MIDI program change), each a layout pane; only the chosen controller's area
// shows, and within the DMX and control-change areas the usage pop-up decides which panes show. The
// note area's two time bounds stay in order. Load and Store map it onto a control assignment (a
// YUND PRMS set with the keys "ctlr", "usage", "dmxch", ...). Texts from the string list
// "SCNCTLDLG", layouts "SCNCTLDLG" and the areas' own. Main thread only.
class CScnCtlDlg : public LModalDialog {
public:
    enum Page : uint32_t { kDmx, kOsc, kMidiCC, kMidiNote, kMidiProgram, kPageCount };
    // The three pages with a MIDI channel knob.
    enum ChannelKnob : uint32_t { kChannelCC, kChannelNote, kChannelProgram, kChannelKnobCount };

    CScnCtlDlg(LHandler* upper, LPane* owner);
    ~CScnCtlDlg() override;

    // Pop-up and check-box changes update the pages; a committed bound keeps the other in order.
    LMessage Handle(const LMessage& msg) override;
    // Shows the chosen source's page (none for the first entry) and the panes its mode asks for.
    virtual void UpdatePages();

    // Fills every area from the assignment, whatever its controller, then shows the chosen one's.
    void Load(CRecordRef set);
    // Writes "ctlr" and the chosen controller's keys; other controllers' keys keep their values.
    void Store(CRecordRef set);

    LStdButton* OkButton() const { return mOk; }
    LStdButton* CancelBtn() const { return mCancel; }
    LPopupList* SourcePopup() const { return mSource; }
    CScriptLayoutPane* PagePane(uint32_t page) const { return page < kPageCount ? mPages[page] : nullptr; }
    LPopupList* DmxMode() const { return mDmxMode; }
    LTextPane* DmxGroupA() const { return mDmxA; }
    LTextPane* DmxGroupB() const { return mDmxB; }
    LStdCheck* DmxCheck(uint32_t i) const { return i < 3 ? mDmxChecks[i] : nullptr; }
    CNumVol* DmxChannel() const { return mDmxChannel; }
    LTextPane* OscLabel() const { return mOscLabel; }
    LPopupList* MidiCCMode() const { return mCCMode; }
    LPane* MidiCCGroupA(uint32_t i) const { return i < 2 ? mCCA[i] : nullptr; }
    LPane* MidiCCGroupB(uint32_t i) const { return i < 2 ? mCCB[i] : nullptr; }
    LPane* MidiCCGroupC(uint32_t i) const { return i < 2 ? mCCC[i] : nullptr; }
    LStdRadio* MidiCCRadio(uint32_t i) const;
    CNumVol* MidiChannel(uint32_t knob) const {
        return knob < kChannelKnobCount ? mMidiChannels[knob] : nullptr;
    }
    CNumVol* MidiController() const { return mController; }
    CNoteVol* NoteKnob() const { return mNote; }
    LStdCheck* NoteCheck() const { return mNoteCheck; }
    // The four panes the note check box governs: low label, low bound, high label, high bound.
    LPane* NotePane(uint32_t i) const { return i < 4 ? mNotePanes[i] : nullptr; }
    CNumVol* LowBound() const { return mLow; }
    CNumVol* HighBound() const { return mHigh; }

protected:
    // sequence: the sequence dialog's title, OSC label and usages.
    CScnCtlDlg(LHandler* upper, LPane* owner, bool sequence);

private:
    CScriptLayoutPane* MakePage(const char* layout);
    LTextPane* Label(LPane* owner, uint32_t string);
    LPopupList* ModePopup(LPane* owner);
    LStdCheck* Check(LPane* owner, uint32_t string);
    CNumVol* Knob(LPane* owner, float minimum, float maximum);

    const bool mSequence;
    LStrListRsrcH mStrings;
    LStdButton* mOk;  // children of the dialog or its pages
    LStdButton* mCancel;
    LTextPane* mSourceLabel;
    LPopupList* mSource;
    CScriptLayoutPane* mPages[kPageCount] = {};
    LPopupList* mDmxMode = nullptr;
    LTextPane* mDmxA = nullptr;
    LTextPane* mDmxB = nullptr;
    LStdCheck* mDmxChecks[3] = {};
    CNumVol* mDmxChannel = nullptr;
    LTextPane* mOscLabel = nullptr;
    LPopupList* mCCMode = nullptr;
    LPane* mCCA[2] = {};
    LPane* mCCB[2] = {};
    LPane* mCCC[2] = {};
    CNumVol* mMidiChannels[kChannelKnobCount] = {};
    CNumVol* mController = nullptr;
    CNoteVol* mNote = nullptr;
    LStdCheck* mNoteCheck = nullptr;
    LPane* mNotePanes[4] = {};
    CNumVol* mLow = nullptr;
    CNumVol* mHigh = nullptr;
};

// The sequence control dialog: the scene control dialog with its own title and OSC label, the
// usages "sel", "step" and "trig" only, and no velocity-timed fades (that check box and the time
// bounds stay hidden). Main thread only.
class CSeqCtlDlg : public CScnCtlDlg {
public:
    CSeqCtlDlg(LHandler* upper, LPane* owner);

    LMessage Handle(const LMessage& msg) override;
    void UpdatePages() override;
};
