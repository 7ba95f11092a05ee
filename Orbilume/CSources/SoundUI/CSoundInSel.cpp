#include "Orbilume/CSources/SoundUI/CSoundInSel.h"

#include "Common/ObjC/CMacWindowKind.h"
#include "Lib3/LSources/CoreData/LStrListRsrc.h"
#include "Lib3/LSources/CoreUI/LLayoutText.h"
#include "Lib3/LSources/CoreUI/LPopupList.h"
#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Lib3/LSources/CoreUI/LTitlePane.h"
#include "Platform/Foundation/Check.h"

namespace {

constexpr const char* kName = "CSOUNDINSEL";
enum : uint32_t { kTitle = 0, kOkTitle = 1, kCancelTitle = 2, kDeviceTitle = 3, kSourceTitle = 4 };
// The native kind of a modal dialog window.
constexpr int32_t kDialogWindowKind = 8;

void Fill(LPopupList& popup, const std::vector<std::string>& names, int chosen) {
    popup.RemoveAll();
    for (const std::string& name : names) popup.AddItem(LString(name.c_str()));
    (void)popup.SetValue(chosen);
}

}  // namespace

LFrameSpec CSoundInSel::ModalSpec() {
    return LFrameSpec(LFrameSpec::kModal, CMacWindowKindH(new CMacWinKind(kDialogWindowKind)));
}

CSoundInSel::CSoundInSel(LHandler* upper, const LFrameSpec& spec, plat::AudioSystem* system)
    : LModalDialog(upper, nullptr, spec), fChoices(system) {
    PLAT_DCHECK_MAIN_THREAD();
    const LStrListRsrcH strings{SRsrcRequest(kName)};
    // Children in layout order: 1 device popup, 2 its title, 3 source popup, 4 its title, 5 Cancel, 6 OK.
    fDevice = new LPopupList(this, LStdCtlSpec());
    fDeviceTitle = new LTitlePane(fDevice, this);
    fSource = new LPopupList(this, LStdCtlSpec());
    fSourceTitle = new LTitlePane(fSource, this);
    fCancel = new LStdButton(this, LStdCtlSpec());
    fOk = new LStdButton(this, LStdCtlSpec());

    SetWindowTitle(strings.GetString(kTitle));
    fOk->SetTitle(strings.GetString(kOkTitle));
    fCancel->SetTitle(strings.GetString(kCancelTitle));
    fDeviceTitle->SetText(strings.GetString(kDeviceTitle));
    fSourceTitle->SetText(strings.GetString(kSourceTitle));
    SetDefaultButton(fOk);
    SetCancelButton(fCancel);
    ShowDevices();

    LLayoutParts layout;
    if (LoadLayout(SRsrcRequest(kName), layout)) SetLayout(layout, kDescriptionMode);
    if (Window()) FitWindowToLayout();
}

CSoundInSel::~CSoundInSel() {
    // A title tells its popup when it goes: the titles go before the popups.
    delete fDeviceTitle;
    delete fSourceTitle;
}

void CSoundInSel::ShowDevices() {
    Fill(*fDevice, fChoices.Devices(), fChoices.DeviceIndex());
    ShowSources();
}

void CSoundInSel::ShowSources() {
    Fill(*fSource, fChoices.Sources(), fChoices.SourceIndex());
}

LMessage CSoundInSel::Handle(const LMessage& msg) {
    if (msg.Is(LPopupList_Changed) && msg.sender == fDevice) {
        fChoices.ChooseDevice(fDevice->GetValue());
        ShowSources();
        return LMessage();
    }
    if (msg.Is(LPopupList_Changed) && msg.sender == fSource) {
        fChoices.ChooseSource(fSource->GetValue());
        return LMessage();
    }
    return LModalDialog::Handle(msg);
}

void CSoundInSel::Set(const SoundInputSpec& spec) {
    fChoices.Set(spec);
    ShowDevices();
}

SoundInputSpec CSoundInSel::Get() const {
    SoundInputSpec spec;
    if (fDevice->GetValue() >= 0) spec.device = fDevice->ItemTitle(fDevice->GetValue());
    if (fSource->GetValue() >= 0) spec.source = fSource->ItemTitle(fSource->GetValue());
    return spec;
}

bool CSoundInSel::Run(LHandler* upper, SoundInputSpec& spec, plat::AudioSystem* system) {
    PLAT_DCHECK_MAIN_THREAD();
    CSoundInSel dialog(upper, ModalSpec(), system);
    dialog.Set(spec);
    if (dialog.RunUntilResult() != 1) return false;
    spec = dialog.Get();
    return true;
}
