#include "Orbilume/CSources/App/DocDialogs.h"

#include <vector>

#include "Common/File/CFileTypeList.h"
#include "Common/ObjC/CFileDialog.h"
#include "Common/ObjC/CSaveChangesDialog.h"
#include "Common/ObjC/CSimpleMessageDialog.h"
#include "Lib3/LSources/CoreData/LStrListRsrc.h"
#include "Lib3/LSources/Fs/LFileKind.h"

namespace {

std::vector<LString> Strings(const char* name) {
    LStrListRsrcH list{SRsrcRequest(name)};
    std::vector<LString> out;
    for (uint32_t i = 0; i < list.Count(); ++i) out.push_back(list.GetString(i));
    return out;
}

uint32_t RealAskSaveChanges(LPane* owner, const LString& name) {
    CSaveChangesDialog dialog(nullptr, owner);
    dialog.SetDocumentName(name);
    return dialog.Run(0);
}

bool RealAskSavePath(LPane*, const LFsSpec& start, LFsSpec& chosen) {
    const std::vector<LString> strings = Strings("OBFFMT");
    CFileTypeList types(strings.data(), static_cast<uint32_t>(strings.size()));
    CSaveFileDialog dialog;
    dialog.SetTypes(&types);
    dialog.SetStartSpec(start);
    dialog.Run();
    if (!dialog.WasConfirmed()) return false;
    chosen = dialog.GetChosenSpec();
    return !chosen.IsEmpty();
}

bool OpenPanel(const char* filters, const LFsSpec& folder, LFsSpec& chosen) {
    const std::vector<LString> strings = Strings(filters);
    CFileTypeList types(strings.data(), static_cast<uint32_t>(strings.size()));
    COpenFileDialog dialog;
    dialog.SetTypes(&types);
    if (!folder.IsEmpty()) dialog.SetStartSpec(folder);
    dialog.Run(0);
    if (!dialog.WasConfirmed()) return false;
    chosen = dialog.GetChosenSpec();
    return !chosen.IsEmpty();
}

bool RealAskOpenPath(const LFsSpec& folder, LFsSpec& chosen) {
    return OpenPanel("OBFFLT", folder, chosen);
}

bool RealAskCompoPath(const LFsSpec& folder, LFsSpec& chosen) {
    return OpenPanel("QCOMPOFFLT", folder, chosen);
}

CompoPathChooser gCompoChooser = &RealAskCompoPath;

void RealShowMessage(LPane* owner, const LString& text) {
    CSimpleMessageDialog dialog(nullptr, owner);
    dialog.SetWrap(true);
    (void)dialog.Run(text, 0, false);
}

const SDocDialogs kReal{&RealAskSaveChanges, &RealAskSavePath, &RealAskOpenPath, &RealShowMessage};
const SDocDialogs* gDialogs = &kReal;

}  // namespace

const SDocDialogs& DocDialogs() {
    return *gDialogs;
}

void SetDocDialogs(const SDocDialogs* dialogs) {
    gDialogs = dialogs ? dialogs : &kReal;
}

void SetCompoPathChooser(CompoPathChooser chooser) {
    gCompoChooser = chooser ? chooser : &RealAskCompoPath;
}

bool AskCompoPath(const LFsSpec& folder, LFsSpec& chosen) {
    return gCompoChooser(folder, chosen);
}
