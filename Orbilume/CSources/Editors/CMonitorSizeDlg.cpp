#include "Orbilume/CSources/Editors/CMonitorSizeDlg.h"

#include <algorithm>
#include <cmath>

#include "Common/ObjC/CMacWindowKind.h"
#include "Common/ObjC/CNumVol.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreData/LStrListRsrc.h"
#include "Lib3/LSources/CoreUI/LLayoutText.h"
#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Lib3/LSources/CoreUI/LStdCheck.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Lib3/LSources/String/UWord.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Editors/CMonitorWin.h"
#include "Platform/Foundation/Check.h"

namespace {

enum : uint32_t { kTitle = 0, kOkTitle = 1, kCancelTitle = 2, kFirstLabel = 3, kCheckTitle = 6 };
constexpr float kInitialWidth = 512;
constexpr float kInitialHeight = 384;
constexpr int32_t kDialogWindowKind = 0;

}  // namespace

LFrameSpec CMonitorSizeDlg::DefaultSpec() {
    return LFrameSpec(LFrameSpec::kModal, CMacWindowKindH(new CMacWinKind(kDialogWindowKind)));
}

CMonitorSizeDlg::CMonitorSizeDlg(LHandler* upper, LPane* owner, const LFrameSpec& spec)
    : LModalDialog(upper, owner, spec) {
    PLAT_DCHECK_MAIN_THREAD();
    // Children in layout order: panes 1..9.
    fOk = new LStdButton(this, LStdCtlSpec());
    fCancel = new LStdButton(this, LStdCtlSpec());
    for (uint32_t i = 0; i < 3; ++i) fLabels[i] = new LTextPane(this, 0);
    fWidth = new CNumVol(this, 0, 0);
    fHeight = new CNumVol(this, 0, 0);
    fAspect = new LTextPane(this, 0);
    fCheck = new LStdCheck(this, LStdCtlSpec());

    SetWindowTitle(String(kTitle));
    fOk->SetTitle(String(kOkTitle));
    fCancel->SetTitle(String(kCancelTitle));
    for (uint32_t i = 0; i < 3; ++i) fLabels[i]->SetText(String(kFirstLabel + i));
    fCheck->SetTitle(String(kCheckTitle));
    for (CNumVol* knob : {fWidth, fHeight}) knob->SetRange(kMinSide, kMaxSide, 1);
    fWidth->SetValue(kInitialWidth);
    fHeight->SetValue(kInitialHeight);
    UpdateAspectText();
    SetDefaultButton(fOk);
    SetCancelButton(fCancel);

    LLayoutParts layout;
    if (LoadLayout(SRsrcRequest(kName), layout)) SetLayout(layout, kDescriptionMode);
    FitWindowToLayout();
}

LString CMonitorSizeDlg::String(uint32_t n) const {
    const LStrListRsrcH strings{SRsrcRequest(kName)};
    return strings.GetString(n);
}

LMessage CMonitorSizeDlg::Handle(const LMessage& msg) {
    if (msg.Is(CNumVol_Fix)) {
        UpdateAspectText();
        return LMessage();
    }
    return LModalDialog::Handle(msg);
}

uint32_t CMonitorSizeDlg::Side(const CNumVol* knob) {
    // What was typed but not yet entered is read clamped as well.
    const float v = const_cast<CNumVol*>(knob)->GetValue();
    if (!std::isfinite(v)) return static_cast<uint32_t>(kMinSide);
    return static_cast<uint32_t>(std::clamp(v, kMinSide, kMaxSide));
}

uint32_t CMonitorSizeDlg::Width() const {
    return Side(fWidth);
}

uint32_t CMonitorSizeDlg::Height() const {
    return Side(fHeight);
}

void CMonitorSizeDlg::UpdateAspectText() {
    // The knobs' range keeps the divisor at 32 or more.
    const float aspect = float(Width()) / float(Height());
    fAspect->SetText(UWord::FloatSuppress(aspect, 3));
}

void CMonitorSizeDlg::SetSize(uint32_t width, uint32_t height) {
    fWidth->SetValue(std::clamp(float(width), kMinSide, kMaxSide));
    fHeight->SetValue(std::clamp(float(height), kMinSide, kMaxSide));
    UpdateAspectText();
}

void CMonitorSizeDlg::SetFixed(bool on) {
    fCheck->SetValue(on ? 1 : 0);
}

bool CMonitorSizeDlg::IsFixed() const {
    return fCheck->GetValue() != 0;
}

void CMonitorSizeDlg::Preset(CMonitorWin* monitor) {
    if (monitor) {
        const CLRect view = monitor->ViewBounds();
        SetSize(static_cast<uint32_t>(std::max(0, view.Width())),
                static_cast<uint32_t>(std::max(0, view.Height())));
    }
    const CAppPrefs* prefs = CAppPrefs::Get();
    if (prefs && prefs->Root()) SetFixed(prefs->Root()->GetBool(CAppPrefs::kPrefMonitorFixed));
}

void CMonitorSizeDlg::Apply(CMonitorWin* monitor) const {
    CAppPrefs* prefs = CAppPrefs::Get();
    if (prefs && prefs->Root())
        (void)prefs->RootRef().SetByte(nullptr, CAppPrefs::kPrefMonitorFixed, IsFixed() ? 1 : 0);
    if (monitor) monitor->SetViewSize(static_cast<int32_t>(Width()), static_cast<int32_t>(Height()));
}

uint32_t CMonitorSizeDlg::RunCommand(LHandler* upper, CMonitorWin* monitor) {
    PLAT_DCHECK_MAIN_THREAD();
    CMonitorSizeDlg dialog(upper, nullptr);
    dialog.Preset(monitor);
    const uint32_t result = dialog.RunUntilResult();
    if (result == 1) dialog.Apply(monitor);
    return result;
}
