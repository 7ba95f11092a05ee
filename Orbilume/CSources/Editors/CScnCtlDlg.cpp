#include "Orbilume/CSources/Editors/CScnCtlDlg.h"

#include <algorithm>
#include <cmath>

#include "Common/ObjC/CMacWindowKind.h"
#include "Common/ObjC/CNumVol.h"
#include "Lib3/LSources/CoreUI/CScriptLayoutPane.h"
#include "Lib3/LSources/CoreUI/LLayoutText.h"
#include "Lib3/LSources/CoreUI/LPopupList.h"
#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Lib3/LSources/CoreUI/LStdCheck.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Orbilume/CSources/Document/UCtlAttr.h"
#include "Orbilume/CSources/Editors/CNoteVol.h"
#include "Platform/Foundation/Check.h"

namespace {

constexpr const char* kName = "SCNCTLDLG";
constexpr const char* kPageLayouts[CScnCtlDlg::kPageCount] = {"SCNCTLDMX", "SCNCTLOSC", "SCNCTLMCC",
                                                              "SCNCTLMNT", "SCNCTLMPG"};
// Strings of the list.
enum : uint32_t {
    kTitle = 0,
    kOkTitle = 1,
    kCancelTitle = 2,
    kSourceLabel = 3,
    kDmxModeLabel = 4,
    kDmxLabelA = 5,
    kDmxLabelB = 6,
    kDmxChecks = 7,  // 7..9
    kOscLabel = 10,
    kCCModeLabel = 11,
    kCCLabelA = 12,
    kCCRadio1 = 13,
    kCCLabelA2 = 14,
    kCCRadio2 = 15,
    kCCChecks = 16,  // 16..17
    kNoteChannel = 18,
    kNoteNote = 19,
    kNoteCheck = 20,
    kNoteLow = 21,
    kNoteHigh = 22,
    kProgramLabel = 23,
    kSources = 24,  // 24..29
    kModes = 30,    // 30..34
    kSeqTitle = 35,
    kSeqOscLabel = 36,
};
constexpr uint32_t kSourceCount = 6;
constexpr uint32_t kModeCount = 5;
constexpr uint32_t kSeqModeCount = 3;  // "sel", "step", "trig"
constexpr uint32_t kWindowKind = 0;
constexpr float kBoundMax = 99.9f;
constexpr float kBoundStep = 0.1f;

void ShowIf(LPane* pane, bool shown) {
    if (pane) pane->ChangeState(shown ? LPane::kShow : LPane::kHide);
}

// The knob's value within its range, truncated toward zero (typed text not yet entered too).
int32_t Whole(CNumVol* knob) {
    const float v = knob->Clamp(knob->GetValue());
    return std::isfinite(v) ? int32_t(std::trunc(v)) : int32_t(knob->Minimum());
}

bool Ticked(LStdCheck* check) {
    return check->GetValue() != 0;
}

}  // namespace

CScnCtlDlg::CScnCtlDlg(LHandler* upper, LPane* owner) : CScnCtlDlg(upper, owner, false) {}

CScnCtlDlg::CScnCtlDlg(LHandler* upper, LPane* owner, bool sequence)
    : LModalDialog(upper, owner,
                   LFrameSpec(LFrameSpec::kModal, CMacWindowKindH(new CMacWinKind(kWindowKind)))),
      mSequence(sequence),
      mStrings(SRsrcRequest(kName)) {
    PLAT_DCHECK_MAIN_THREAD();
    // Children in the order of the dialog's layout: 1 OK, 2 Cancel, 3 source label, 4 source pop-up,
    // 5..9 the pages.
    mOk = new LStdButton(this, LStdCtlSpec());
    mCancel = new LStdButton(this, LStdCtlSpec());
    mSourceLabel = Label(this, kSourceLabel);
    mSource = new LPopupList(this, LStdCtlSpec());
    for (uint32_t i = 0; i < kSourceCount; ++i) mSource->AddItem(mStrings.GetString(kSources + i));
    mSource->SetValue(0);
    for (uint32_t p = 0; p < kPageCount; ++p) mPages[p] = MakePage(kPageLayouts[p]);

    SetWindowTitle(mStrings.GetString(mSequence ? kSeqTitle : kTitle));
    mOk->SetTitle(mStrings.GetString(kOkTitle));
    mCancel->SetTitle(mStrings.GetString(kCancelTitle));
    SetDefaultButton(mOk);
    SetCancelButton(mCancel);

    // DMX: 1 mode label, 2 mode pop-up, 3 group A, 4 group B, 5..7 the check boxes, 8 the channel.
    LPane* dmx = mPages[kDmx];
    (void)Label(dmx, kDmxModeLabel);
    mDmxMode = ModePopup(dmx);
    mDmxA = Label(dmx, kDmxLabelA);
    mDmxB = Label(dmx, kDmxLabelB);
    for (uint32_t i = 0; i < 3; ++i) mDmxChecks[i] = Check(dmx, kDmxChecks + i);
    mDmxChannel = Knob(dmx, 1, 512);
    // OSC: its label.
    mOscLabel = Label(mPages[kOsc], mSequence ? kSeqOscLabel : kOscLabel);
    // MIDI control change: 1 mode label, 2 mode pop-up, 3-4 group A, 5-6 group B (the radio pair),
    // 7-8 the check boxes, 9 the channel, 10 the controller.
    LPane* cc = mPages[kMidiCC];
    (void)Label(cc, kCCModeLabel);
    mCCMode = ModePopup(cc);
    mCCA[0] = Label(cc, kCCLabelA);
    mCCA[1] = Label(cc, kCCLabelA2);
    for (uint32_t i = 0; i < 2; ++i) {
        auto* radio = new LStdRadio(cc, LStdCtlSpec());
        radio->SetTitle(mStrings.GetString(i == 0 ? kCCRadio1 : kCCRadio2));
        mCCB[i] = radio;
    }
    static_cast<LStdRadio*>(mCCB[0])->LinkTo(static_cast<LStdRadio*>(mCCB[1]));
    static_cast<LStdRadio*>(mCCB[1])->LinkTo(static_cast<LStdRadio*>(mCCB[0]));
    static_cast<LStdRadio*>(mCCB[0])->SetGroupValue(0);
    for (uint32_t i = 0; i < 2; ++i) mCCC[i] = Check(cc, kCCChecks + i);
    mMidiChannels[kChannelCC] = Knob(cc, 1, 16);
    mController = Knob(cc, 0, 127);
    // MIDI note: 1 check box, 2 low label, 3 low bound, 4 high label, 5 high bound, 6-7 the channel
    // label and knob, 8-9 the note label and knob.
    LPane* note = mPages[kMidiNote];
    mNoteCheck = Check(note, kNoteCheck);
    mNotePanes[0] = Label(note, kNoteLow);
    mLow = new CNumVol(note, 1, 0);
    mNotePanes[1] = mLow;
    mNotePanes[2] = Label(note, kNoteHigh);
    mHigh = new CNumVol(note, 1, 0);
    mNotePanes[3] = mHigh;
    for (CNumVol* bound : {mLow, mHigh}) {
        bound->SetRange(0, kBoundMax, kBoundStep);
        bound->SetValue(0);
    }
    (void)Label(note, kNoteChannel);
    mMidiChannels[kChannelNote] = Knob(note, 1, 16);
    (void)Label(note, kNoteNote);
    mNote = new CNoteVol(note);
    // MIDI program change: 1 its label, 2 the channel.
    (void)Label(mPages[kMidiProgram], kProgramLabel);
    mMidiChannels[kChannelProgram] = Knob(mPages[kMidiProgram], 1, 16);

    LLayoutParts layout;
    if (LoadLayout(SRsrcRequest(kName), layout)) SetLayout(layout, kDescriptionMode);
    UpdatePages();
}

CScnCtlDlg::~CScnCtlDlg() = default;

CScriptLayoutPane* CScnCtlDlg::MakePage(const char* layout) {
    LLayoutParts parts;
    (void)LoadLayout(SRsrcRequest(layout), parts);  // a missing layout leaves the page unplaced
    return new CScriptLayoutPane(this, this, parts, true);
}

LTextPane* CScnCtlDlg::Label(LPane* owner, uint32_t string) {
    auto* label = new LTextPane(owner, 0);
    (void)label->SetText(mStrings.GetString(string));
    return label;
}

LPopupList* CScnCtlDlg::ModePopup(LPane* owner) {
    auto* popup = new LPopupList(owner, LStdCtlSpec());
    for (uint32_t i = 0; i < (mSequence ? kSeqModeCount : kModeCount); ++i)
        popup->AddItem(mStrings.GetString(kModes + i));
    popup->SetValue(0);
    return popup;
}

LStdCheck* CScnCtlDlg::Check(LPane* owner, uint32_t string) {
    auto* check = new LStdCheck(owner, LStdCtlSpec());
    check->SetTitle(mStrings.GetString(string));
    return check;
}

CNumVol* CScnCtlDlg::Knob(LPane* owner, float minimum, float maximum) {
    auto* knob = new CNumVol(owner, 0, 0);
    knob->SetRange(minimum, maximum, 1);
    knob->SetValue(minimum);
    return knob;
}

LStdRadio* CScnCtlDlg::MidiCCRadio(uint32_t i) const {
    return i < 2 ? static_cast<LStdRadio*>(mCCB[i]) : nullptr;
}

void CScnCtlDlg::Load(CRecordRef set) {
    PLAT_DCHECK_MAIN_THREAD();
    const int ctlr = UCtlAttr::GetCtlr(set);
    (void)mSource->SetValue(ctlr >= 0 && ctlr < int(kSourceCount) ? ctlr : 0);
    // An absent usage acts as "trig"; one the pop-up lacks shows its last item.
    const int usage = UCtlAttr::GetUsage(set);
    for (LPopupList* popup : {mDmxMode, mCCMode})
        (void)popup->SetValue(
            std::min(usage < 0 ? int32_t(UCtlAttr::kUsageTrigger) : usage, popup->Count() - 1));
    mDmxChannel->SetValue(float(int64_t{UCtlAttr::GetCtlDmxCh(set)} + 1));
    const bool rewind = UCtlAttr::GetCtlStepRwnd(set), back = UCtlAttr::GetCtlStepBack(set);
    mDmxChecks[0]->SetValue(rewind ? 1 : 0);
    mDmxChecks[1]->SetValue(back ? 1 : 0);
    mDmxChecks[2]->SetValue(UCtlAttr::GetCtlStepSub(set) ? 1 : 0);
    static_cast<LStdCheck*>(mCCC[0])->SetValue(rewind ? 1 : 0);
    static_cast<LStdCheck*>(mCCC[1])->SetValue(back ? 1 : 0);
    MidiCCRadio(0)->SetGroupValue(UCtlAttr::GetCtlMidiCcNo(set) ? 1 : 0);
    for (CNumVol* knob : mMidiChannels) knob->SetValue(float(int64_t{UCtlAttr::GetCtlMidiCh(set)} + 1));
    mController->SetValue(float(UCtlAttr::GetCtlMidiCc(set)));
    mNote->SetValue(float(UCtlAttr::GetCtlMidiNn(set)));
    mNoteCheck->SetValue(UCtlAttr::GetCtlMidiVlt(set) ? 1 : 0);
    mLow->SetValue(UCtlAttr::GetCtlTmin(set));
    mHigh->SetValue(UCtlAttr::GetCtlTmax(set));
    UpdatePages();
}

void CScnCtlDlg::Store(CRecordRef set) {
    PLAT_DCHECK_MAIN_THREAD();
    const int32_t ctlr = mSource->GetValue();
    UCtlAttr::SetCtlr(set, ctlr);  // none deletes the key
    switch (ctlr) {
        case UCtlAttr::kCtlrDmx:
            UCtlAttr::SetUsage(set, mDmxMode->GetValue());
            UCtlAttr::SetCtlDmxCh(set, Whole(mDmxChannel) - 1);
            UCtlAttr::SetCtlStepRwnd(set, Ticked(mDmxChecks[0]));
            UCtlAttr::SetCtlStepBack(set, Ticked(mDmxChecks[1]));
            UCtlAttr::SetCtlStepSub(set, Ticked(mDmxChecks[2]));
            break;
        case UCtlAttr::kCtlrMidiCc:
            UCtlAttr::SetUsage(set, mCCMode->GetValue());
            UCtlAttr::SetCtlMidiCcNo(set, MidiCCRadio(0)->GroupValue() == 1);
            UCtlAttr::SetCtlMidiCh(set, Whole(mMidiChannels[kChannelCC]) - 1);
            UCtlAttr::SetCtlMidiCc(set, Whole(mController));
            UCtlAttr::SetCtlStepRwnd(set, Ticked(static_cast<LStdCheck*>(mCCC[0])));
            UCtlAttr::SetCtlStepBack(set, Ticked(static_cast<LStdCheck*>(mCCC[1])));
            break;
        case UCtlAttr::kCtlrMidiNote:
            UCtlAttr::SetCtlMidiCh(set, Whole(mMidiChannels[kChannelNote]) - 1);
            UCtlAttr::SetCtlMidiNn(set, Whole(mNote));
            UCtlAttr::SetCtlMidiVlt(set, Ticked(mNoteCheck));
            UCtlAttr::SetCtlTmin(set, mLow->Clamp(mLow->GetValue()));
            UCtlAttr::SetCtlTmax(set, mHigh->Clamp(mHigh->GetValue()));
            break;
        case UCtlAttr::kCtlrMidiProgram:
            UCtlAttr::SetCtlMidiCh(set, Whole(mMidiChannels[kChannelProgram]) - 1);
            break;
        default:
            break;
    }
}

LMessage CScnCtlDlg::Handle(const LMessage& msg) {
    if (msg.Is(LPopupList_Changed) || msg.Is(LStdCheck_Change)) {
        UpdatePages();
        return LMessage();
    }
    if (msg.Is(CNumVol_Fix)) {
        // Compared as stored: 32-bit floats.
        const float low = mLow->GetValue();
        const float high = mHigh->GetValue();
        if (msg.sender == mLow && low > high) mHigh->SetValue(low);
        if (msg.sender == mHigh && low > high) mLow->SetValue(high);
        return LMessage();
    }
    return LModalDialog::Handle(msg);
}

void CScnCtlDlg::UpdatePages() {
    PLAT_DCHECK_MAIN_THREAD();
    const int32_t v = mSource->GetValue();
    if (v < 1 || v > int32_t(kPageCount)) {
        for (CScriptLayoutPane* page : mPages) ShowIf(page, false);
        return;
    }
    const uint32_t shown = uint32_t(v - 1);
    for (uint32_t p = 0; p < kPageCount; ++p)
        if (p != shown) ShowIf(mPages[p], false);
    ShowIf(mPages[shown], true);
    switch (shown) {
        case kDmx: {
            const int32_t m = mDmxMode->GetValue();
            ShowIf(mDmxA, m == 0);
            ShowIf(mDmxB, m != 0);
            for (LStdCheck* c : mDmxChecks) ShowIf(c, m == 1);
            mPages[kDmx]->UpdateLayout();
            break;
        }
        case kMidiCC: {
            const int32_t m = mCCMode->GetValue();
            for (LPane* p : mCCA) ShowIf(p, m == 0);
            for (LPane* p : mCCB) ShowIf(p, m != 0);
            for (LPane* p : mCCC) ShowIf(p, m == 1);
            mPages[kMidiCC]->UpdateLayout();
            break;
        }
        case kMidiNote: {
            const bool on = mNoteCheck->GetValue();
            for (LPane* p : mNotePanes) ShowIf(p, on);
            break;
        }
        default:
            break;
    }
}

CSeqCtlDlg::CSeqCtlDlg(LHandler* upper, LPane* owner) : CScnCtlDlg(upper, owner, true) {
    UpdatePages();
}

LMessage CSeqCtlDlg::Handle(const LMessage& msg) {
    if (msg.Is(LPopupList_Changed) || msg.Is(LStdCheck_Change)) {
        UpdatePages();
        return LMessage();
    }
    if (msg.Is(CNumVol_Fix)) return LMessage();
    return LModalDialog::Handle(msg);
}

void CSeqCtlDlg::UpdatePages() {
    CScnCtlDlg::UpdatePages();
    // No velocity-timed fades for sequences.
    ShowIf(NoteCheck(), false);
    for (uint32_t i = 0; i < 4; ++i) ShowIf(NotePane(i), false);
}
