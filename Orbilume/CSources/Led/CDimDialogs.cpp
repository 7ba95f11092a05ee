// The real dialogs of the dimmer document.

#include <vector>

#include "Common/File/CFileTypeList.h"
#include "Common/ObjC/CFileDialog.h"
#include "Common/ObjC/CSaveChangesDialog.h"
#include "Common/ObjC/CSimpleMessageDialog.h"
#include "Lib3/LSources/CoreData/LStrListRsrc.h"
#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Orbilume/CSources/Led/CDimDevAddDlg.h"
#include "Orbilume/CSources/Led/CDimInstruments.h"
#include "Orbilume/CSources/UsbDmxUI/CDmxSettingsDlg.h"

namespace {

std::vector<LString> Strings(const char* name) {
    LStrListRsrcH list{SRsrcRequest(name)};
    std::vector<LString> out;
    for (uint32_t i = 0; i < list.Count(); ++i) out.push_back(list.GetString(i));
    return out;
}

uint32_t RealAskSaveChanges(const LString& name) {
    CSaveChangesDialog dialog(nullptr, nullptr);
    dialog.SetDocumentName(name);
    return dialog.Run(0);
}

bool RealAskSavePath(const std::string& start, std::string& chosen) {
    const std::vector<LString> strings = Strings("DIMFFMT");
    CFileTypeList types(strings.data(), static_cast<uint32_t>(strings.size()));
    CSaveFileDialog dialog;
    dialog.SetTypes(&types);
    if (!start.empty()) dialog.SetStartSpec(CMacFileU::LFsSpecFromPath(start.c_str()));
    dialog.Run();
    if (!dialog.WasConfirmed() || dialog.GetChosenSpec().IsEmpty()) return false;
    chosen = CMacFileU::PathFromLFsSpec(dialog.GetChosenSpec()).CStr();
    return !chosen.empty();
}

bool RealAskOpenPath(const std::string& start, std::string& chosen) {
    const std::vector<LString> strings = Strings("DIMFFLT");
    CFileTypeList types(strings.data(), static_cast<uint32_t>(strings.size()));
    COpenFileDialog dialog;
    dialog.SetTypes(&types);
    if (!start.empty()) dialog.SetStartSpec(CMacFileU::LFsSpecFromPath(start.c_str()));
    dialog.Run(0);
    if (!dialog.WasConfirmed() || dialog.GetChosenSpec().IsEmpty()) return false;
    chosen = CMacFileU::PathFromLFsSpec(dialog.GetChosenSpec()).CStr();
    return !chosen.empty();
}

void RealShowMessage(const LString& text) {
    CSimpleMessageDialog dialog(nullptr, nullptr);
    dialog.SetWrap(true);
    (void)dialog.Run(text, 0, false);
}

bool RealSignalDialog(LHandler* upper, CRecordRef timing) {
    CSigParamDlg dialog(upper, nullptr, timing);
    return dialog.RunUntilResult() == 1;
}

const SDimDialogs kReal{&RealAskSaveChanges, &RealAskSavePath, &RealAskOpenPath, &RealShowMessage, &CDimDevAddDlg::Run,
                        &RealSignalDialog};
const SDimDialogs* gDialogs = &kReal;

}  // namespace

const SDimDialogs& DimDialogs() {
    return *gDialogs;
}

void SetDimDialogs(const SDimDialogs* dialogs) {
    gDialogs = dialogs ? dialogs : &kReal;
}
