#include "Orbilume/CSources/HttpUI/CFormServerDlg.h"

#include <sys/stat.h>

#include <cmath>
#include <vector>

#include "Common/ObjC/CFileDialog.h"
#include "Common/ObjC/CNumVol.h"
#include "Common/ObjC/LEditText.h"
#include "Lib3/LSources/CoreData/LStrListRsrc.h"
#include "Lib3/LSources/CoreUI/LLayoutText.h"
#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Lib3/LSources/CoreUI/LStdCheck.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Lib3/LSources/Mac/LDrop.h"
#include "Lib3/LSources/Mac/LDropPane.h"
#include "Orbilume/CSources/HttpUI/CPassField.h"
#include "Platform/AppKit/Pasteboard.h"
#include "Platform/AppKit/Window.h"
#include "Platform/Foundation/Check.h"

namespace {

constexpr const char* kName = "FORMSVRDLG";
enum : uint32_t {
    kTitle = 0,
    kPortLabel = 1,
    kRootLabel = 2,
    kChooseTitle = 3,
    kShowTitle = 4,
    kPassLabel = 5,
    kMonszLabel = 6,
    kFirstFlag = 7,  // "opensame", then the seven page flags
    kOkTitle = 15,
    kCancelTitle = 16,
    kContentLabel = 17
};

bool FormServerSettings::*const kFlagMembers[CFormServerDlg::kFlagCount] = {
    &FormServerSettings::opensame, &FormServerSettings::monimg, &FormServerSettings::valnum,
    &FormServerSettings::valsld,   &FormServerSettings::upld,   &FormServerSettings::uplddel,
    &FormServerSettings::upldsel,  &FormServerSettings::gohome};

std::string Text(const LEditText* field) {
    const LString t = field->GetText();
    return std::string(t.CStr(), t.Length());
}

}  // namespace

CFormServerDlg::CFormServerDlg(LHandler* upper, LPane* owner, const LFrameSpec& spec)
    : LDialog(upper, owner, spec) {
    PLAT_DCHECK_MAIN_THREAD();
    const LStrListRsrcH strings{SRsrcRequest(kName)};
    // Children in layout order: panes 1..22.
    auto* portLabel = new LTextPane(this, 0);
    fPort = new CNumVol(this, 0, 0);
    auto* rootLabel = new LTextPane(this, 0);
    fDrop = new LDropPane(this, 0);
    fRoot = new LEditText(this, LEditText::kSingleLine, 0);
    fChooseButton = new LStdButton(this, LStdCtlSpec());
    fShow = new LStdButton(this, LStdCtlSpec());
    auto* passLabel = new LTextPane(this, 0);
    fPass = new CPassField(this);
    auto* monszLabel = new LTextPane(this, 0);
    fMonsz = new CNumVol(this, 0, 0);
    fFlags[0] = new LStdCheck(this, LStdCtlSpec());
    auto* contentLabel = new LTextPane(this, 0);
    for (uint32_t i = 1; i < kFlagCount; ++i) fFlags[i] = new LStdCheck(this, LStdCtlSpec());
    auto* ok = new LStdButton(this, LStdCtlSpec());
    auto* cancel = new LStdButton(this, LStdCtlSpec());

    SetWindowTitle(strings.GetString(kTitle));
    portLabel->SetText(strings.GetString(kPortLabel));
    rootLabel->SetText(strings.GetString(kRootLabel));
    passLabel->SetText(strings.GetString(kPassLabel));
    monszLabel->SetText(strings.GetString(kMonszLabel));
    contentLabel->SetText(strings.GetString(kContentLabel));
    fChooseButton->SetTitle(strings.GetString(kChooseTitle));
    fShow->SetTitle(strings.GetString(kShowTitle));
    for (uint32_t i = 0; i < kFlagCount; ++i) fFlags[i]->SetTitle(strings.GetString(kFirstFlag + i));
    ok->SetTitle(strings.GetString(kOkTitle));
    cancel->SetTitle(strings.GetString(kCancelTitle));
    fPort->SetRange(1, 65535, 1);
    fMonsz->SetRange(32, 512, 1);
    SetDefaultButton(ok);
    SetCancelButton(cancel);

    LLayoutParts layout;
    if (LoadLayout(SRsrcRequest(kName), layout)) SetLayout(layout, kDescriptionMode);
    Load(FormServerSettings());
}

void CFormServerDlg::Load(const FormServerSettings& settings) {
    fLoaded = settings;
    fPort->SetValue(float(settings.port));
    fRoot->SetText(LString(settings.Root().c_str()));
    fPass->SetTextByProgram(LString(""));
    fPass->SetHasPassword(FormPassword::IsSet(settings.pass));
    fMonsz->SetValue(float(settings.monsz));
    for (uint32_t i = 0; i < kFlagCount; ++i) fFlags[i]->SetValue(settings.*kFlagMembers[i] ? 1 : 0);
}

FormServerSettings CFormServerDlg::Result() const {
    FormServerSettings s = fLoaded;
    s.port = uint16_t(std::lround(std::fmin(std::fmax(fPort->GetValue(), 1.0f), 65535.0f)));
    s.monsz = uint32_t(std::lround(std::fmin(std::fmax(fMonsz->GetValue(), 32.0f), 512.0f)));
    const std::string root = Text(fRoot);
    s.root = root == FormServerSettings::DefaultRoot() ? std::string() : root;
    const std::string typed = Text(fPass);
    if (!typed.empty()) s.pass = FormPassword::Store(typed);
    for (uint32_t i = 0; i < kFlagCount; ++i) s.*kFlagMembers[i] = fFlags[i]->GetValue();
    return s;
}

namespace {

bool IsFolder(const std::string& path) {
    struct stat st {};
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

bool CFormServerDlg::DropFolder(const std::string& path) {
    if (!IsFolder(path)) return false;
    fRoot->SetText(LString(path.c_str()));
    return true;
}

void CFormServerDlg::ChooseRoot() {
    PLAT_DCHECK_MAIN_THREAD();
    CFolderDialog chooser;
    const std::string root = Text(fRoot);
    chooser.SetStartSpec(CMacFileU::LFsSpecFromPath(root.empty() ? "/" : root.c_str()));
    chooser.Run();
    if (!chooser.WasConfirmed()) return;
    const LString path = CMacFileU::PathFromLFsSpec(chooser.GetChosenSpec());
    if (!path.IsEmpty()) (void)DropFolder(std::string(path.CStr(), path.Length()));
}

std::string CFormServerDlg::DraggedFolder(plat::Pasteboard* pasteboard) {
    std::vector<std::string> paths;
    if (!pasteboard || !pasteboard->FileNames(&paths) || paths.size() != 1 || !IsFolder(paths[0])) return {};
    return paths[0];
}

LMessage CFormServerDlg::Handle(const LMessage& msg) {
    if (msg.Is(LDrop_Sense) && fDrop && fDrop->IsUsable()) {
        // The path field lies over the drop pane and takes no drags: the pane claims them there.
        auto* drop = static_cast<LDrop*>(msg.sender);
        if (drop && drop->Window()) {
            const plat::Point p = drop->Window()->ConvertFromScreen(
                {double(drop->MouseLocation().x), double(drop->MouseLocation().y)});
            const CLRect r = fDrop->Bounds();
            if (p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom) return fDrop->Handle(msg);
        }
    }
    if (msg.sender == fDrop && fDrop) {
        // A drag over the root pane: taken only when it carries one existing folder.
        if (msg.Is(LDropPane_Enter) || msg.Is(LDropPane_Drag)) {
            LDrop* drop = fDrop->Drop();
            fDrop->SetFeedback(drop && !DraggedFolder(drop->Pasteboard()).empty() ? LDrop::kDefault
                                                                                  : LDrop::kRefuse);
            return LMessage();
        }
        if (msg.Is(LDropPane_Drop)) {
            LDrop* drop = fDrop->Drop();
            const bool taken = drop && DropFolder(DraggedFolder(drop->Pasteboard()));
            fDrop->SetFeedback(taken ? LDrop::kDefault : LDrop::kRefuse);
            return LMessage();
        }
        if (msg.Is(LDropPane_Leave)) return LMessage();
    }
    if (msg.Is(LStdCtl_Selected) && msg.sender == fChooseButton) {
        ChooseRoot();
        return LMessage();
    }
    if (msg.Is(LStdCtl_Selected) && msg.sender == fShow) {
        FormServerSettings s = Result();
        (void)s.ShowRoot();
        return LMessage();
    }
    return LDialog::Handle(msg);
}
