#include "Orbilume/CSources/Editors/CDmxIoDlg.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "Common/ObjC/CMacWindowKind.h"
#include "Common/ObjC/CNumVol.h"
#include "Lib3/LSources/CoreData/LStrListRsrc.h"
#include "Lib3/LSources/CoreUI/LLayoutText.h"
#include "Lib3/LSources/CoreUI/LPopupList.h"
#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Platform/Foundation/Check.h"

namespace {

enum : uint32_t { kTitle = 0, kOkTitle = 1, kCancelTitle = 2, kLabel = 3 };

LFrameSpec ModalSpec() {
    return LFrameSpec(LFrameSpec::kModal, CMacWindowKindH(new CMacWinKind(0)));
}

// Title, buttons and label from the string list; OK the default, Cancel the escape button; the
// layout of the same name.
void Dress(LModalDialog* d, const char* name, LStdButton* ok, LStdButton* cancel, LTextPane* label) {
    const LStrListRsrcH strings{SRsrcRequest(name)};
    d->SetWindowTitle(strings.GetString(kTitle));
    ok->SetTitle(strings.GetString(kOkTitle));
    cancel->SetTitle(strings.GetString(kCancelTitle));
    (void)label->SetText(strings.GetString(kLabel));
    d->SetDefaultButton(ok);
    d->SetCancelButton(cancel);
}

void Place(LModalDialog* d, const char* name) {
    LLayoutParts layout;
    if (LoadLayout(SRsrcRequest(name), layout)) d->SetLayout(layout, LFrame::kDescriptionMode);
}

}  // namespace

CDmxIoDlg::CDmxIoDlg(LHandler* upper, LPane* owner) : LModalDialog(upper, owner, ModalSpec()) {
    PLAT_DCHECK_MAIN_THREAD();
    // Children in layout order: 1 OK, 2 Cancel, 3 label, 4 pop-up.
    mOk = new LStdButton(this, LStdCtlSpec());
    mCancel = new LStdButton(this, LStdCtlSpec());
    mLabel = new LTextPane(this, 0);
    mKeys = new LPopupList(this, LStdCtlSpec());
    Dress(this, kName, mOk, mCancel, mLabel);
    Place(this, kName);
    SetKeys({}, LString());
}

CDmxIoDlg::~CDmxIoDlg() = default;

void CDmxIoDlg::SetKeys(const std::vector<std::string>& keys, const LString& stored) {
    PLAT_DCHECK_MAIN_THREAD();
    mKeys->RemoveAll();
    int32_t preset = -1;
    for (size_t i = 0; i < keys.size(); ++i) {
        const std::string& key = keys[i];
        mKeys->AddItem(LString(key.data(), uint32_t(key.size())));
        const bool same =
            key.size() == stored.Length() && std::memcmp(key.data(), stored.CStr(), key.size()) == 0;
        if (same && preset < 0) preset = int32_t(i);
    }
    (void)mKeys->SetValue(std::max(preset, 0));
    mOk->ChangeState(keys.empty() ? LPane::kDisable : LPane::kEnable);
}

LString CDmxIoDlg::SelectedKey() const {
    const int32_t n = mKeys->GetValue();
    if (n < 0 || n >= mKeys->Count()) return LString();
    return mKeys->ItemTitle(n);
}

CDeadZoneDlg::CDeadZoneDlg(LHandler* upper, LPane* owner) : LModalDialog(upper, owner, ModalSpec()) {
    PLAT_DCHECK_MAIN_THREAD();
    // Children in layout order: 1 OK, 2 Cancel, 3 label, 4 knob.
    mOk = new LStdButton(this, LStdCtlSpec());
    mCancel = new LStdButton(this, LStdCtlSpec());
    mLabel = new LTextPane(this, 0);
    mKnob = new CNumVol(this, 0, 0);
    mKnob->SetRange(0, 100, 1);
    mKnob->SetValue(0);
    Dress(this, kName, mOk, mCancel, mLabel);
    Place(this, kName);
}

CDeadZoneDlg::~CDeadZoneDlg() = default;

void CDeadZoneDlg::SetPercent(int32_t percent) {
    mKnob->SetValue(float(std::clamp(percent, 0, 100)));
}

uint32_t CDeadZoneDlg::Percent() const {
    const float v = mKnob->Clamp(mKnob->GetValue());
    return std::isfinite(v) ? uint32_t(std::trunc(v)) : 0;
}
