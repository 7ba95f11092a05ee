#include "Common/ObjC/CFileDialog.h"

#include <sys/stat.h>

#include <algorithm>

#include "Common/File/CFileTypeList.h"
#include "Common/ObjC/CEditMenuBridge.h"
#include "Common/ObjC/CEmbeddedFrame.h"
#include "Common/ObjC/MFilePanel.h"
#include "Common/ObjC/MOpenDelegete.h"
#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LPanePort.h"
#include "Lib3/LSources/CoreUI/LPopupList.h"
#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Platform/Foundation/Check.h"

namespace {

CFileDialog::PanelFactory gFactory = nullptr;
void* gFactoryContext = nullptr;

std::unique_ptr<MFilePanelBase> MakeRealPanel(MFilePanelBase::Kind kind) {
    return std::make_unique<MFilePanel>(MFilePanel::DefaultUpper(), kind);
}

bool Exists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

std::string FourChars(uint32_t code) {
    std::string s(4, ' ');
    for (int i = 0; i < 4; ++i) s[size_t(i)] = char((code >> (24 - 8 * i)) & 0xff);
    return s;
}

// CFileTypeList answers an entry's type text (the extension or "*") as its Name and the label shown
// for it as its Extension.
LString TypeText(const CFileTypeList& list, uint32_t i) {
    return list.Name(i);
}

LString Label(const CFileTypeList& list, uint32_t i) {
    return list.Extension(i);
}

}  // namespace

// CFileTypePopupFrame.

CFileTypePopupFrame::CFileTypePopupFrame(CFileDialog* dialog, LPane* owner, const CFileTypeList& types)
    : LFrame(owner, owner), fDialog(dialog), fPopup(new LPopupList(this, LStdCtlSpec{})) {
    for (uint32_t i = 0; i < types.Count(); ++i) fPopup->AddItem(Label(types, i));
    LDrawContext ctx{LPanePort(fPopup)};
    const int32_t w = fPopup->PreferredWidth(ctx, 0);
    const int32_t h = fPopup->PreferredHeight(ctx, 0);
    SetBounds({0, 0, w + 20, h + 20});
    fPopup->SetBounds({10, 10, 10 + w, 10 + h});
}

LMessage CFileTypePopupFrame::Handle(const LMessage& msg) {
    if (msg.Is(LPopupList_Changed) && msg.sender == fPopup) {
        fDialog->ApplyType(fPopup->GetValue());
        return LMessage();
    }
    return LFrame::Handle(msg);
}

// CFileDialog.

CFileDialog::CFileDialog() = default;

CFileDialog::~CFileDialog() {
    if (mPanel) mPanel->SetAccessoryView(nullptr);
    mTypeFrame = nullptr;
    mAccessory.reset();
    mPanel.reset();
}

void CFileDialog::SetPanelFactory(PanelFactory factory, void* context) {
    gFactory = factory;
    gFactoryContext = context;
}

std::string CFileDialog::PathOf(const LFsSpec& spec) {
    return spec.IsEmpty() ? std::string() : std::string(CMacFileU::PathFromLFsSpec(spec).CStr());
}

void CFileDialog::SetStartSpec(const LFsSpec& spec) {
    PLAT_DCHECK_MAIN_THREAD();
    const std::string path = PathOf(spec);
    const std::string folder = MFilePanelBase::NearestExistingFolder(path.empty() ? "/" : path);
    mStartFolder = CMacFileU::LFsSpecFromPath(folder.c_str());
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
    mStartFile = (Exists(path) && trimmed != folder) ? spec : LFsSpec();
    if (mTypes && mTypes->Count() > 0) {
        const int32_t entry =
            EntryForExtension(*mTypes, LString(MFilePanelBase::ExtensionOf(spec.name().CStr()).c_str()));
        mCurrentKind = LFileKind(mTypes->FileType(uint32_t(entry)), mTypes->Creator(uint32_t(entry)),
                                 TypeText(*mTypes, uint32_t(entry)));
    }
}

void CFileDialog::SetTypes(const CFileTypeList* list) {
    mTypes = list;
    mAllowedTypes.clear();
    if (!list) return;
    for (uint32_t i = 0; i < list->Count(); ++i) {
        const LString ext = TypeText(*list, i);
        mAllowedTypes.push_back(ext.IsEmpty() ? FourChars(list->FileType(i)) : std::string(ext.CStr()));
    }
}

int32_t CFileDialog::EntryForExtension(const CFileTypeList& list, const LString& extension) {
    if (list.Count() == 0) return -1;
    for (uint32_t i = 0; i < list.Count(); ++i)
        if (TypeText(list, i) == extension) return int32_t(i);
    for (uint32_t i = 0; i < list.Count(); ++i)
        if (TypeText(list, i) == LString("*")) return int32_t(i);
    return 0;
}

void CFileDialog::ApplyType(int32_t index) {
    if (!mTypes || index < 0 || uint32_t(index) >= mTypes->Count()) return;
    const LString ext = TypeText(*mTypes, uint32_t(index));
    if (mPanel) {
        if (ext.IsEmpty() || ext == LString("*"))
            mPanel->SetAllowedFileTypes({});
        else
            mPanel->SetAllowedFileTypes({std::string(ext.CStr())});
    }
    mCurrentKind = LFileKind(mTypes->FileType(uint32_t(index)), mTypes->Creator(uint32_t(index)), ext);
}

LFsSpec CFileDialog::GetChosenSpec() const {
    if (!mPanel || mPanel->ChosenPath().empty()) return LFsSpec();
    return CMacFileU::LFsSpecFromPath(
        LString(mPanel->ChosenPath().c_str(), uint32_t(mPanel->ChosenPath().size())));
}

MFilePanelBase* CFileDialog::MakePanel(MFilePanelBase::Kind kind, bool treatPackages) {
    PLAT_DCHECK_MAIN_THREAD();
    if (mPanel) mPanel->SetAccessoryView(nullptr);
    mTypeFrame = nullptr;
    mAccessory.reset();
    mPanel = gFactory ? gFactory(kind, gFactoryContext) : MakeRealPanel(kind);
    if (!mPanel) return nullptr;
    mTreatPackages = treatPackages ? 1 : 0;
    mPanel->SetMessage(mMessage.CStr());
    mPanel->SetTreatsFilePackagesAsDirectories(treatPackages);
    mAccessory = std::make_unique<CEmbeddedFrame>(nullptr, mPanel->HostWindow());
    if (mTypes && mTypes->Count() > 0) {
        mTypeFrame = new CFileTypePopupFrame(this, mAccessory.get(), *mTypes);
        const int32_t entry = EntryForExtension(*mTypes, mCurrentKind.extension);
        mTypeFrame->Popup()->SetValue(entry);
        ApplyType(entry);
    }
    if (mAccessoryFn) mAccessoryFn(mAccessoryContext, mAccessory.get());
    // The children stacked top to bottom; the pane as wide as the widest.
    int32_t y = 0, width = 0;
    for (SSLink* l = mAccessory->Children().First(); l && !l->IsEnd(); l = l->next) {
        LPane* child = static_cast<LPane*>(l);
        const CLRect b = child->Bounds();
        child->SetBounds({0, y, b.Width(), y + b.Height()});
        y += b.Height();
        width = std::max(width, b.Width());
    }
    mAccessory->SetBounds({0, 0, width, y});
    if (y > 0 && width > 0) mPanel->SetAccessoryView(mAccessory.get());
    return mPanel.get();
}

void CFileDialog::RunPanel(const std::string& name) {
    const int32_t result = mPanel->RunModal(PathOf(mStartFolder), name);
    mConfirmed = result == MFilePanelBase::kOKButton ? 1 : 0;
}

// COpenFileDialog.

COpenFileDialog::COpenFileDialog() = default;
COpenFileDialog::~COpenFileDialog() {
    if (mPanel) mPanel->SetDelegate(nullptr);
}

void COpenFileDialog::Run(uint32_t flags) {
    PLAT_DCHECK_MAIN_THREAD();
    MFilePanelBase* panel = MakePanel(MFilePanelBase::kOpenPanel, (flags & kTreatPackagesAsFolders) != 0);
    if (!panel) return;
    mDelegate = std::make_unique<MOpenDelegete>();
    panel->SetDelegate(mDelegate.get());
    RunPanel(mStartFile.IsEmpty() ? std::string() : std::string(mStartFile.name().CStr()));
}

// CSaveFileDialog.

void CSaveFileDialog::SetStartSpec(const LFsSpec& spec) {
    CFileDialog::SetStartSpec(spec);
    mDefaultName = spec.name();
}

void CSaveFileDialog::SetTypes(const CFileTypeList* list) {
    CFileDialog::SetTypes(list);
    if (list && list->Count() > 0)
        SetFileType(LFileKind(list->FileType(0), list->Creator(0), TypeText(*list, 0)));
}

void CSaveFileDialog::Run(uint32_t) {
    PLAT_DCHECK_MAIN_THREAD();
    CEditMenuBridge bridge;
    if (!MakePanel(MFilePanelBase::kSavePanel, false)) return;
    const LString name = !mDefaultName.IsEmpty() ? mDefaultName
                         : mStartFile.IsEmpty()  ? LString()
                                                 : mStartFile.name();
    RunPanel(std::string(name.CStr()));
}

// CFolderDialog.

void CFolderDialog::Run(uint32_t) {
    PLAT_DCHECK_MAIN_THREAD();
    MFilePanelBase* panel = MakePanel(MFilePanelBase::kOpenPanel, false);
    if (!panel) return;
    panel->SetCanChooseFiles(false);
    panel->SetCanChooseDirectories(true);
    RunPanel(mStartFile.IsEmpty() ? std::string() : std::string(mStartFile.name().CStr()));
}
