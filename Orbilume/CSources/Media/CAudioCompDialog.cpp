#include "Orbilume/CSources/Media/CAudioCompDialog.h"

#include "Lib3/LSources/CoreData/LStrListRsrc.h"
#include "Lib3/LSources/CoreUI/LLayoutText.h"
#include "Lib3/LSources/CoreUI/LPopupList.h"
#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Platform/Foundation/Check.h"
#include "Platform/Media/MovieWriter.h"

namespace {

enum : uint32_t { kTitle = 0, kOkTitle = 1, kCancelTitle = 2, kFormatLabel = 3 };

}  // namespace

std::vector<CAudioCompDialog::Format> CAudioCompDialog::AvailableFormats() {
    std::vector<Format> out;
    for (const plat::MovieAudioFormat& f : plat::AvailableMovieAudioFormats())
        out.push_back({f.id, LString(f.name.c_str())});
    return out;
}

CAudioCompDialog::CAudioCompDialog(LHandler* upper, LPane* owner, const LFrameSpec& spec)
    : CAudioCompDialog(upper, owner, spec, AvailableFormats()) {}

CAudioCompDialog::CAudioCompDialog(LHandler* upper, LPane* owner, const LFrameSpec& spec,
                                   std::vector<Format> formats)
    : LModalDialog(upper, owner, spec), fFormats(std::move(formats)) {
    PLAT_DCHECK_MAIN_THREAD();
    const LStrListRsrcH strings{SRsrcRequest(kName)};
    // Children in layout order, panes 1..4.
    fOk = new LStdButton(this, LStdCtlSpec());
    fCancel = new LStdButton(this, LStdCtlSpec());
    fLabel = new LTextPane(this, 0);
    fPopup = new LPopupList(this, LStdCtlSpec());

    SetWindowTitle(strings.GetString(kTitle));
    fOk->SetTitle(strings.GetString(kOkTitle));
    fCancel->SetTitle(strings.GetString(kCancelTitle));
    fLabel->SetText(strings.GetString(kFormatLabel));
    for (const Format& f : fFormats) fPopup->AddItem(f.name);
    SetDefaultButton(fOk);
    SetCancelButton(fCancel);

    LLayoutParts layout;
    if (LoadLayout(SRsrcRequest(kName), layout)) SetLayout(layout, kDescriptionMode);
    if (Window()) FitWindowToLayout();
    if (!fFormats.empty()) (void)fPopup->SetValue(0);
}

LMessage CAudioCompDialog::Handle(const LMessage& msg) {
    if (msg.Is(LPopupList_Changed) && msg.sender == fPopup) return LMessage();
    return LModalDialog::Handle(msg);
}

void CAudioCompDialog::SelectFormat(uint32_t id) {
    for (size_t i = 0; i < fFormats.size(); ++i)
        if (fFormats[i].id == id) {
            (void)fPopup->SetValue(int32_t(i));
            return;
        }
}

uint32_t CAudioCompDialog::GetFormat() const {
    const int32_t i = fPopup->GetValue();
    return i >= 0 && size_t(i) < fFormats.size() ? fFormats[size_t(i)].id : kLinearPCM;
}
