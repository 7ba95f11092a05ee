#include "Orbilume/CSources/Editors/CCtlInDlg.h"

#include <algorithm>
#include <cmath>

#include "Common/ObjC/CMacWindowKind.h"
#include "Common/ObjC/CNumVol.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreUI/CScriptLayoutPane.h"
#include "Lib3/LSources/CoreUI/LLayoutText.h"
#include "Lib3/LSources/CoreUI/LPopupList.h"
#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Platform/Foundation/Check.h"

namespace {

using T = CDocModelTypes;

constexpr const char* kAreaLayouts[CCtlInDlg::kAreaCount] = {"CTLINDMX", "CTLINMIDICC"};
enum : uint32_t {
    kTitle = 0,
    kOkTitle = 1,
    kCancelTitle = 2,
    kDmxLabel = 3,
    kMidiChannelLabel = 4,
    kControllerLabel = 5,
    kTypes = 6,  // 6..9
};
constexpr int32_t kTypeCount = 4;

int32_t Whole(CNumVol* knob) {
    const float v = knob->Clamp(knob->GetValue());
    return std::isfinite(v) ? int32_t(std::trunc(v)) : int32_t(knob->Minimum());
}

void ShowIf(LPane* pane, bool shown) {
    if (pane) pane->ChangeState(shown ? LPane::kShow : LPane::kHide);
}

}  // namespace

CCtlInDlg::CCtlInDlg(LHandler* upper, LPane* owner)
    : LModalDialog(upper, owner, LFrameSpec(LFrameSpec::kModal, CMacWindowKindH(new CMacWinKind(0)))),
      mStrings(SRsrcRequest(kName)) {
    PLAT_DCHECK_MAIN_THREAD();
    // Children in layout order: 1 OK, 2 Cancel, 3 type pop-up, 4 DMX area, 5 MIDI area.
    mOk = new LStdButton(this, LStdCtlSpec());
    mCancel = new LStdButton(this, LStdCtlSpec());
    mType = new LPopupList(this, LStdCtlSpec());
    for (int32_t i = 0; i < kTypeCount; ++i) mType->AddItem(mStrings.GetString(kTypes + uint32_t(i)));
    for (uint32_t a = 0; a < kAreaCount; ++a) {
        LLayoutParts parts;
        (void)LoadLayout(SRsrcRequest(kAreaLayouts[a]), parts);  // a missing layout leaves it unplaced
        mAreas[a] = new CScriptLayoutPane(this, this, parts, true);
    }
    SetWindowTitle(mStrings.GetString(kTitle));
    mOk->SetTitle(mStrings.GetString(kOkTitle));
    mCancel->SetTitle(mStrings.GetString(kCancelTitle));
    SetDefaultButton(mOk);
    SetCancelButton(mCancel);

    // DMX area: 1 label, 2 channel. MIDI area: 1 label, 2 channel, 3 label, 4 controller.
    (void)(new LTextPane(mAreas[kDmxArea], 0))->SetText(mStrings.GetString(kDmxLabel));
    mDmxChannel = Knob(mAreas[kDmxArea], 1, 512);
    (void)(new LTextPane(mAreas[kMidiArea], 0))->SetText(mStrings.GetString(kMidiChannelLabel));
    mMidiChannel = Knob(mAreas[kMidiArea], 1, 16);
    (void)(new LTextPane(mAreas[kMidiArea], 0))->SetText(mStrings.GetString(kControllerLabel));
    mController = Knob(mAreas[kMidiArea], 0, 127);

    LLayoutParts layout;
    if (LoadLayout(SRsrcRequest(kName), layout)) SetLayout(layout, kDescriptionMode);
    SelectType(0);
}

CCtlInDlg::~CCtlInDlg() = default;

CNumVol* CCtlInDlg::Knob(LPane* owner, float minimum, float maximum) {
    auto* knob = new CNumVol(owner, 0, 0);
    knob->SetRange(minimum, maximum, 1);
    knob->SetValue(minimum);
    return knob;
}

LMessage CCtlInDlg::Handle(const LMessage& msg) {
    if (msg.Is(LPopupList_Changed) && msg.sender == mType) {
        SelectType(mType->GetValue());
        return LMessage();
    }
    return LModalDialog::Handle(msg);
}

void CCtlInDlg::SelectType(int32_t t) {
    PLAT_DCHECK_MAIN_THREAD();
    (void)mType->SetValue(t);
    ShowIf(mAreas[kDmxArea], t == 1);
    ShowIf(mAreas[kMidiArea], t == 2 || t == 3);
}

void CCtlInDlg::Load(const CRecord* ctrl) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!ctrl) return;
    mDmxChannel->SetValue(float(int64_t{ctrl->GetUInt(T::kCtrlDmxCh)} + 1));
    mMidiChannel->SetValue(float(ctrl->GetByte(T::kCtrlMidiCh) + 1));
    mController->SetValue(float(ctrl->GetByte(T::kCtrlMidiCc)));
    SelectType(ctrl->GetByte(T::kCtrlType));
}

void CCtlInDlg::Store(CRecordRef ctrl, LHandler* editor) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!ctrl.Get()) return;
    (void)ctrl.SetByte(editor, T::kCtrlType, uint8_t(std::clamp(mType->GetValue(), 0, kTypeCount - 1)));
    (void)ctrl.SetUInt(editor, T::kCtrlDmxCh, uint32_t(Whole(mDmxChannel) - 1));
    (void)ctrl.SetByte(editor, T::kCtrlMidiCh, uint8_t(Whole(mMidiChannel) - 1));
    (void)ctrl.SetByte(editor, T::kCtrlMidiCc, uint8_t(Whole(mController)));
}
