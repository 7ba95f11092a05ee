#include "Orbilume/CSources/Editors/UCtlDlgCmds.h"

#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreUI/LModalDialog.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Editors/CCtlInDlg.h"
#include "Orbilume/CSources/Editors/CDmxIoDlg.h"
#include "Orbilume/CSources/Editors/CScnCtlDlg.h"
#include "Orbilume/CSources/Editors/CSeqCtlIn.h"
#include "Orbilume/CSources/Engine/CCtlInHub.h"
#include "Orbilume/CSources/Engine/CSceneCtlIn.h"
#include "Orbilume/CSources/UsbDmx/CDmxIoFinder.h"
#include "Platform/Foundation/Check.h"

namespace {

UCtlDlgCmds::Runner gRunner = nullptr;

constexpr uint32_t kOk = 1;

uint32_t RunDialog(LModalDialog& dialog) {
    return gRunner ? gRunner(&dialog) : dialog.RunUntilResult();
}

}  // namespace

void UCtlDlgCmds::SetRunner(Runner runner) {
    gRunner = runner;
}

bool UCtlDlgCmds::SceneControl(LHandler* upper, CRecordRef snct, CSceneCtlIn* input) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!snct.Get()) return false;
    CScnCtlDlg dialog(upper, nullptr);
    dialog.Load(snct);
    if (RunDialog(dialog) != kOk) return false;
    dialog.Store(snct);
    if (input) input->Setup(snct.Get());
    return true;
}

bool UCtlDlgCmds::SequenceControl(LHandler* upper, CRecordRef sqct, CSeqCtlIn* input) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!sqct.Get()) return false;
    CSeqCtlDlg dialog(upper, nullptr);
    dialog.Load(sqct);
    if (RunDialog(dialog) != kOk) return false;
    dialog.Store(sqct);
    if (input) input->Setup(sqct.Get());
    return true;
}

bool UCtlDlgCmds::BlendControl(LHandler* upper, CRecordRef ctrl, LHandler* editor) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!ctrl.Get()) return false;
    CCtlInDlg dialog(upper, nullptr);
    dialog.Load(ctrl.Get());
    if (RunDialog(dialog) != kOk) return false;
    dialog.Store(ctrl, editor);
    return true;
}

bool UCtlDlgCmds::DeadZone(LHandler* upper, CRecordRef prefs, CCtlInHub* hub) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!prefs.Get()) return false;
    CDeadZoneDlg dialog(upper, nullptr);
    const uint32_t stored = prefs->GetUInt(CAppPrefs::kPrefDmxThreshold);
    dialog.SetPercent(int32_t(stored > 100 ? 100 : stored));
    if (RunDialog(dialog) != kOk) return false;
    const uint32_t percent = dialog.Percent();
    (void)prefs.SetUInt(nullptr, CAppPrefs::kPrefDmxThreshold, percent);
    if (hub) hub->SetDmxThreshold(percent);
    return true;
}

bool UCtlDlgCmds::DmxInterface(LHandler* upper, CRecordRef prefs, const std::vector<std::string>& keys,
                               const DmxInput& input) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!prefs.Get()) return false;
    CDmxIoDlg dialog(upper, nullptr);
    dialog.SetKeys(keys, prefs->GetString(CAppPrefs::kPrefUsbDmxKey));
    const bool ok = RunDialog(dialog) == kOk;
    if (input.release) input.release(input.context);
    if (!ok) {
        (void)prefs.SetByte(nullptr, CAppPrefs::kPrefUsbDmxOn, 0);
        return false;
    }
    (void)prefs.SetString(nullptr, CAppPrefs::kPrefUsbDmxKey, dialog.SelectedKey());
    (void)prefs.SetByte(nullptr, CAppPrefs::kPrefUsbDmxOn, 1);
    if (input.open && !input.open(input.context) && input.beep) input.beep();
    return true;
}

std::vector<std::string> UCtlDlgCmds::ConnectedKeys(plat::UsbHost& host) {
    std::vector<std::string> keys;
    for (const plat::UsbDeviceInfo& device : host.Devices(CDmxIoFinder::Match())) {
        std::string key = CDmxIoFinder::GetKey(device);
        if (!key.empty()) keys.push_back(std::move(key));
    }
    return keys;
}
