#include "Common/ObjC/CSimpleMessageDialog.h"

#include <algorithm>

#include "Common/ObjC/CMacWindowKind.h"
#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LImagePane.h"
#include "Lib3/LSources/CoreUI/LLayoutDesc.h"
#include "Lib3/LSources/CoreUI/LPaneListLayout.h"
#include "Lib3/LSources/CoreUI/LPanePort.h"
#include "Lib3/LSources/CoreUI/LRsrcImage.h"
#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Lib3/LSources/Mac/GetEventTimeMs.h"
#include "Platform/Foundation/Check.h"

namespace {

constexpr const char* kName = "CSIMPLEMESSAGEDIALOG";
constexpr uint32_t kWrapWords = 2;

}  // namespace

CSimpleMessageDialog::CSimpleMessageDialog(LHandler* upper, LPane* owner, uint32_t windowKind)
    : LModalDialog(upper, owner,
                   LFrameSpec(LFrameSpec::kModal, CMacWindowKindH(new CMacWinKind(int32_t(windowKind))))),
      mOk(new LStdButton(this, LStdCtlSpec{})),
      mCancel(new LStdButton(this, LStdCtlSpec{})),
      mMessage(new LTextPane(this, 0)),
      mIcon(new LImagePane(this)),
      mStrings(SRsrcRequest(kName)) {
    mMessage->SetWrapMode(kWrapWords);
    mIcon->SetImage(LImageH(new LRsrcImage(SRsrcRequest("APP"))));
    SetWindowTitle(mStrings.GetString(0));
    mOk->SetTitle(mStrings.GetString(1));
    mCancel->SetTitle(mStrings.GetString(2));
    SetDefaultButton(mOk);
    SetCancelButton(mOk);
}

CSimpleMessageDialog::~CSimpleMessageDialog() = default;

void CSimpleMessageDialog::LayoutMessage() {
    LPanePort port(this);
    LDrawContext ctx(port);
    LPaneListLayout panes(Children(), ctx);
    LLayoutDesc desc(&panes);
    desc.Evaluate("okbtn = 1; cancelbtn = 2; msgtx = 3; icnpn = 4;");
    desc.DefineVariable("nowrap", 1 - int32_t(mWrap));
    desc.Evaluate(
        "tw = max(CalcTextBoxW(msgtx), CalcTextW(msgtx, 20), nowrap*wp(msgtx));cw = CalcStdIconR(icnpn) + "
        "max(tw, CalcTwoButtonW(okbtn, cancelbtn)) + kStdSpc;ch = kStdSpc + hp(msgtx, tw) + kGrpSpc + "
        "hp(okbtn) + "
        "kStdSpc;pp(0, 40, 40, 40 + cw, 40 + ch);");
    desc.Evaluate(
        "PlaceTwoButton(okbtn, cancelbtn);PlaceStdIcon(icnpn);PlaceTextBoxLTR(msgtx, GetStdIconR(icnpn), "
        "kStdSpc, "
        "w(0) -  kStdSpc);");
    const SLayoutRect& r = desc.LayoutRect();
    SetWindowFrame({r.left, r.top, r.right, r.bottom});
}

uint32_t CSimpleMessageDialog::Run(const LString& text, uint32_t timeoutSec, bool showCancel) {
    PLAT_DCHECK_MAIN_THREAD();
    mCancel->ChangeState(showCancel ? LPane::kShow : LPane::kHide);
    SetCancelButton(showCancel ? mCancel : mOk);
    (void)mMessage->SetText(text);
    LayoutMessage();

    const int64_t start = GetEventTimeMs();
    const int64_t limit = int64_t(timeoutSec) * 1000;
    for (;;) {
        // Each step is bounded, so the time-out is checked even when no event comes.
        uint32_t step = kStepMs;
        if (timeoutSec >= 1) {
            const int64_t left = std::max<int64_t>(0, limit - (GetEventTimeMs() - start));
            step = uint32_t(std::min<int64_t>(step, left));
        }
        const uint32_t result = LModalDialog::Run(step);
        if (result == 1) return 1;
        if (result == 2) break;
        if (timeoutSec >= 1 && GetEventTimeMs() - start >= limit) return 1;
    }
    return showCancel ? 0 : 1;
}
