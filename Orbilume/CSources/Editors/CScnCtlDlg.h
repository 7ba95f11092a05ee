#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/LStrListRsrc.h"
#include "Lib3/LSources/CoreUI/LModalDialog.h"

class CNumVol;
class CScriptLayoutPane;
class LPopupList;
class LStdButton;
class LStdCheck;
class LTextPane;

// The scene control dialog: a source pop-up and one page per source (DMX, OSC, MIDI control change,
// MIDI note, MIDI program change), each a layout pane; only the chosen source's page shows, and
// within the DMX and control-change pages the mode pop-up decides which panes show. The note page's
// two time bounds stay in order. Texts from the string list "SCNCTLDLG", layouts "SCNCTLDLG" and the
// pages' own. Main thread only.
class CScnCtlDlg : public LModalDialog {
public:
    enum Page : uint32_t { kDmx, kOsc, kMidiCC, kMidiNote, kMidiProgram, kPageCount };

    CScnCtlDlg(LHandler* upper, LPane* owner);
    ~CScnCtlDlg() override;

    // Pop-up and check-box changes update the pages; a committed bound keeps the other in order.
    LMessage Handle(const LMessage& msg) override;
    // Shows the chosen source's page (none for the first entry) and the panes its mode asks for.
    void UpdatePages();

    LStdButton* OkButton() const { return mOk; }
    LStdButton* CancelBtn() const { return mCancel; }
    LPopupList* SourcePopup() const { return mSource; }
    CScriptLayoutPane* PagePane(uint32_t page) const { return page < kPageCount ? mPages[page] : nullptr; }
    LPopupList* DmxMode() const { return mDmxMode; }
    LTextPane* DmxGroupA() const { return mDmxA; }
    LTextPane* DmxGroupB() const { return mDmxB; }
    LStdCheck* DmxCheck(uint32_t i) const { return i < 3 ? mDmxChecks[i] : nullptr; }
    LPopupList* MidiCCMode() const { return mCCMode; }
    LPane* MidiCCGroupA(uint32_t i) const { return i < 2 ? mCCA[i] : nullptr; }
    LPane* MidiCCGroupB(uint32_t i) const { return i < 2 ? mCCB[i] : nullptr; }
    LPane* MidiCCGroupC(uint32_t i) const { return i < 2 ? mCCC[i] : nullptr; }
    LStdCheck* NoteCheck() const { return mNoteCheck; }
    // The four panes the note check box governs: low label, low bound, high label, high bound.
    LPane* NotePane(uint32_t i) const { return i < 4 ? mNotePanes[i] : nullptr; }
    CNumVol* LowBound() const { return mLow; }
    CNumVol* HighBound() const { return mHigh; }

private:
    CScriptLayoutPane* MakePage(const char* layout);
    LTextPane* Label(LPane* owner, uint32_t string);
    LPopupList* ModePopup(LPane* owner);
    LStdCheck* Check(LPane* owner, uint32_t string);

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
    LPopupList* mCCMode = nullptr;
    LPane* mCCA[2] = {};
    LPane* mCCB[2] = {};
    LPane* mCCC[2] = {};
    LStdCheck* mNoteCheck = nullptr;
    LPane* mNotePanes[4] = {};
    CNumVol* mLow = nullptr;
    CNumVol* mHigh = nullptr;
};
