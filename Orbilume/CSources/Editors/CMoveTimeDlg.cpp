#include "Orbilume/CSources/Editors/CMoveTimeDlg.h"

#include <algorithm>

#include "Common/ObjC/CMacWindowKind.h"
#include "Lib3/LSources/CoreData/LStrListRsrc.h"
#include "Lib3/LSources/CoreUI/LLayoutText.h"
#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Orbilume/CSources/TimecodeUI/CTimecodeEdit.h"
#include "Platform/Foundation/Check.h"

namespace {

enum : uint32_t { kTitle = 0, kOkTitle = 1, kCancelTitle = 2, kLabel = 3 };
constexpr uint32_t kTimeCode = 100;
constexpr int32_t kDialogWindowKind = 0;
constexpr int64_t kMaxMs = 86399990;

}  // namespace

LFrameSpec CMoveTimeDlg::DefaultSpec() {
    return LFrameSpec(LFrameSpec::kModal, CMacWindowKindH(new CMacWinKind(kDialogWindowKind)));
}

CMoveTimeDlg::CMoveTimeDlg(LHandler* upper, LPane* owner, const LFrameSpec& spec)
    : LModalDialog(upper, owner, spec) {
    PLAT_DCHECK_MAIN_THREAD();
    // Children in layout order: 1 OK, 2 Cancel, 3 label, 4 time.
    fOk = new LStdButton(this, LStdCtlSpec());
    fCancel = new LStdButton(this, LStdCtlSpec());
    fLabel = new LTextPane(this, 0);
    fTime = new CTimecodeEdit(this, kTimeCode, false);
    SetWindowTitle(String(kTitle));
    fOk->SetTitle(String(kOkTitle));
    fCancel->SetTitle(String(kCancelTitle));
    fLabel->SetText(String(kLabel));
    SetDefaultButton(fOk);
    SetCancelButton(fCancel);
    // The layout's three descriptions run in order: sizes, the dialog's bounds, the panes.
    LLayoutParts layout;
    if (LoadLayout(SRsrcRequest(kName), layout)) SetLayout(layout, kDescriptionMode);
    FitWindowToLayout();
}

LString CMoveTimeDlg::String(uint32_t n) const {
    const LStrListRsrcH strings{SRsrcRequest(kName)};
    return strings.GetString(n);
}

void CMoveTimeDlg::SetMilliseconds(int64_t ms) {
    fTime->SetCount(std::clamp<int64_t>(ms, 0, kMaxMs), 1000);
}

int64_t CMoveTimeDlg::Milliseconds() const {
    return std::clamp<int64_t>(fTime->GetTypedCount(1000), 0, kMaxMs);
}
