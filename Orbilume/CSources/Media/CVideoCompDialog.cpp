#include "Orbilume/CSources/Media/CVideoCompDialog.h"

#include "Common/ObjC/CNumVol.h"
#include "Lib3/LSources/CoreData/LStrListRsrc.h"
#include "Lib3/LSources/CoreUI/LLayoutText.h"
#include "Lib3/LSources/CoreUI/LPopupList.h"
#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Platform/Foundation/Check.h"

namespace {

enum : uint32_t {
    kTitle = 0,
    kOkTitle = 1,
    kCancelTitle = 2,
    kCodecLabel = 3,
    kFrameRateLabel = 4,
    kKeyFramesLabel = 5,
    kQualityLabel = 6
};
constexpr int32_t kRows = int32_t(sizeof CVideoCompDialog::kCodecs / sizeof CVideoCompDialog::kCodecs[0]);

}  // namespace

CVideoCompDialog::CVideoCompDialog(LHandler* upper, LPane* owner, const LFrameSpec& spec)
    : LModalDialog(upper, owner, spec) {
    PLAT_DCHECK_MAIN_THREAD();
    const LStrListRsrcH strings{SRsrcRequest(kName)};
    // Children in layout order, panes 1..10.
    fOk = new LStdButton(this, LStdCtlSpec());
    fCancel = new LStdButton(this, LStdCtlSpec());
    fCodecLabel = new LTextPane(this, 0);
    fCodec = new LPopupList(this, LStdCtlSpec());
    fFrameRateLabel = new LTextPane(this, 0);
    fFrameRate = new CNumVol(this, 0, 0);
    fKeyFramesLabel = new LTextPane(this, 0);
    fKeyFrames = new CNumVol(this, 0, 0);
    fQualityLabel = new LTextPane(this, 0);
    fQuality = new CNumVol(this, 0, 0);

    SetWindowTitle(strings.GetString(kTitle));
    fOk->SetTitle(strings.GetString(kOkTitle));
    fCancel->SetTitle(strings.GetString(kCancelTitle));
    fCodecLabel->SetText(strings.GetString(kCodecLabel));
    fFrameRateLabel->SetText(strings.GetString(kFrameRateLabel));
    fKeyFramesLabel->SetText(strings.GetString(kKeyFramesLabel));
    fQualityLabel->SetText(strings.GetString(kQualityLabel));
    for (const Codec& c : kCodecs) fCodec->AddItem(LString(c.title));
    fFrameRate->SetRange(1, 60, 1);
    fKeyFrames->SetRange(1, 300, 1);
    fQuality->SetRange(0, 100, 1);
    SetDefaultButton(fOk);
    SetCancelButton(fCancel);

    LLayoutParts layout;
    if (LoadLayout(SRsrcRequest(kName), layout)) SetLayout(layout, kDescriptionMode);
    if (Window()) FitWindowToLayout();

    (void)fCodec->SetValue(0);
    fFrameRate->SetValue(30);
    fKeyFrames->SetValue(100);
    fQuality->SetValue(50);
    UpdateControls();
}

LTextPane* CVideoCompDialog::Label(uint32_t n) const {
    LTextPane* const labels[] = {fCodecLabel, fFrameRateLabel, fKeyFramesLabel, fQualityLabel};
    return n < 4 ? labels[n] : nullptr;
}

LMessage CVideoCompDialog::Handle(const LMessage& msg) {
    if (msg.Is(LPopupList_Changed) && msg.sender == fCodec) {
        UpdateControls();
        return LMessage();
    }
    return LModalDialog::Handle(msg);
}

void CVideoCompDialog::SetCodec(const LString& codec) {
    for (int32_t row = 0; row < kRows; ++row)
        if (codec == LString(kCodecs[row].codec)) {
            (void)fCodec->SetValue(row);
            break;
        }
    UpdateControls();
}

LString CVideoCompDialog::GetCodec() const {
    const int32_t row = fCodec->GetValue();
    return LString(kCodecs[row >= 0 && row < kRows ? row : 0].codec);
}

void CVideoCompDialog::UpdateControls() {
    const int32_t row = fCodec->GetValue();
    const Codec& c = kCodecs[row >= 0 && row < kRows ? row : 0];
    fKeyFrames->ChangeState(c.usesKeyFrames ? kEnable : kDisable);
    fQuality->ChangeState(c.usesQuality ? kEnable : kDisable);
}
