#include "Orbilume/CSources/Editors/CInParamImage.h"

#include <cstdlib>
#include <string>

#include "Common/ObjC/CFileDialog.h"
#include "Common/ObjC/CTextSlot.h"
#include "Common/OpenGL/CObSampleDC.h"
#include "Common/OpenGL/COpenGLView.h"
#include "Lib3/LSources/CoreData/LStrListRsrc.h"
#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LLayoutDesc.h"
#include "Lib3/LSources/CoreUI/LMenu.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/Fs/LFsSpec.h"
#include "Lib3/LSources/Mac/CDragScrap.h"
#include "Lib3/LSources/Mac/CDropTargetHelper.h"
#include "Lib3/LSources/Mac/LDrop.h"
#include "Orbilume/CSources/Document/CDocModelHolder.h"
#include "Orbilume/CSources/Editors/CInCtlFrm.h"
#include "Orbilume/CSources/Editors/CLayerFrm.h"
#include "Orbilume/CSources/Editors/CSrcRendrFrm.h"
#include "Orbilume/CSources/Engine/CCompoRepository.h"
#include "Platform/AppKit/Window.h"
#include "Platform/Foundation/Check.h"

namespace {

constexpr const char* kName = "INPRMIMAGE";

bool RunFilePanel(const LFsSpec& start, LFsSpec& chosen) {
    COpenFileDialog dialog;
    if (!start.IsEmpty()) dialog.SetStartSpec(start);
    dialog.Run(0);
    if (!dialog.WasConfirmed()) return false;
    chosen = dialog.GetChosenSpec();
    return !chosen.IsEmpty();
}

CInParamImage::ChooseFileFunction gChooseFile = RunFilePanel;
CInParamImage::ChooseVideoFunction gChooseVideo = nullptr;

struct Special {
    const char* value;
    CInParamImage::Source source;
    const char* command;
};
const Special kSpecials[] = {
    {".colorfill", CInParamImage::Source::kColor, "CAppCmd_ImgColor"},
    {".localtap", CInParamImage::Source::kTap, "CAppCmd_ImgTap"},
    {".mixbuffer", CInParamImage::Source::kMixBuffer, "CAppCmd_ImgMixBuf"},
};

const char* CommandOf(CInParamImage::Source s) {
    switch (s) {
        case CInParamImage::Source::kNone:
            return "CAppCmd_ImgNone";
        case CInParamImage::Source::kFile:
            return "CAppCmd_ImgFile";
        case CInParamImage::Source::kVideo:
            return "CAppCmd_ImgVideo";
        default:
            break;
    }
    for (const Special& sp : kSpecials)
        if (sp.source == s) return sp.command;
    return "";
}

// The shared "IMAGESRC" menu: the source items and the repository's compositions.
LMenu* SharedMenu() {
    static LMenu* menu = nullptr;
    if (!menu) {
        menu = new LMenu(nullptr, SRsrcRequest("IMAGESRC"));
        const uint32_t last = menu->ItemCount();
        if (last > 0 && !menu->ItemAt(last - 1)->HasCommands()) {
            if (LMenu* sub = menu->MakeSubmenu(last - 1)) {
                if (const CCompoRepository* repository = CCompoRepository::Global()) repository->FillMenu(sub, 0);
            }
        }
    }
    return menu;
}

LMenuItem* AddItem(LMenu* menu, const LString& text, const char* command) {
    auto* item = new LMenuItem(menu);
    if (command) {
        item->SetTexts(text);
        item->SetCommand(command);
    }
    menu->AppendItem(item);
    return item;
}

}  // namespace

void CInParamImage::SetChooseFileFunction(ChooseFileFunction f) {
    gChooseFile = f ? f : RunFilePanel;
}

void CInParamImage::SetChooseVideoFunction(ChooseVideoFunction f) {
    gChooseVideo = f;
}

CInParamImage::CInParamImage(LHandler* upper, LPane* owner, uint32_t unitId, const LString& key,
                             CDocModelHolder* model)
    : CInParamPane(upper, owner, unitId, key, false, true), fModel(model) {
    PLAT_DCHECK_MAIN_THREAD();
    // Panes in layout order after the label and the editor: 3 pop-up, 4 chain, 5 preview (last: it
    // may be missing).
    fSlot = new CTextSlot(this, 0);
    fControl = fSlot;
    fChain = new CSrcRendrFrm(this, this, model, 0);
    if (CLayerFrm::PreviewsEnabled()) {
        if (plat::Window* window = GetWindow()) {
            fSample = new CObSampleDC(upper, window);
            fPreview = new COpenGLView(this, &fSample->context());
        }
    }
    UseLayout(kName);
    if (GetWindow()) fDrop = std::make_unique<CDropTargetHelper>(this);
}

COpenGLContext_Cca* CInParamImage::PreviewTarget() {
    return fSample ? &fSample->context() : nullptr;
}

CInParamImage::~CInParamImage() {
    fDrop.reset();
    delete fPreview;
    delete fSample;
}

CInParamImage::Source CInParamImage::Classify(const LString& value, uint32_t* device) {
    if (device) *device = 0;
    const std::string v = value.CStr();
    if (v.empty()) return Source::kNone;
    for (const Special& sp : kSpecials)
        if (v == sp.value) return sp.source;
    static const std::string kVideo = ".videoinput";
    if (v.compare(0, kVideo.size(), kVideo) == 0) {
        const std::string digits = v.substr(kVideo.size());
        char* end = nullptr;
        const long n = std::strtol(digits.c_str(), &end, 10);
        const bool number = !digits.empty() && end && *end == 0;
        if (device) *device = number && n >= 0 && n <= 3 ? uint32_t(n) : 0;
        return Source::kVideo;
    }
    return Source::kFile;
}

LString CInParamImage::SourceTitle(const LString& value) const {
    uint32_t device = 0;
    const Source s = Classify(value, &device);
    if (s == Source::kFile) {
        const LFsSpec spec = fModel ? fModel->ResolveStoredPath(value) : LFsSpec(value);
        const LString name = spec.IsEmpty() ? LString() : spec.name();
        if (!name.IsEmpty()) return name;
        const std::string v = value.CStr();
        const size_t slash = v.find_last_of('/');
        return LString(slash == std::string::npos ? v.c_str() : v.c_str() + slash + 1);
    }
    if (s == Source::kVideo) {
        const LStrListRsrcH strings{SRsrcRequest(kName)};
        std::string t = strings.GetString(1).CStr();
        const size_t at = t.find("%0");
        if (at != std::string::npos) t.replace(at, 2, std::to_string(device + 1));
        return LString(t.c_str());
    }
    const char* command = CommandOf(s);
    LMenu* shared = SharedMenu();
    for (LMenuItem* i = shared->FirstItem(); i; i = shared->NextItem(i))
        if (i->HasCommand(command)) return i->Text();
    return LString();
}

LMenu* CInParamImage::RebuildMenu() {
    fMenu = std::make_unique<LMenu>(nullptr, LString());
    LMenu* menu = fMenu.get();
    uint32_t device = 0;
    const Source s = Classify(fValue, &device);
    if (s == Source::kFile) {
        AddItem(menu, SourceTitle(fValue), "CAppCmd_ImgFile")->SetMarked(true);
        const LStrListRsrcH strings{SRsrcRequest(kName)};
        AddItem(menu, strings.GetString(0), "CAppCmd_ImgReveal");
        AddItem(menu, LString(), nullptr);
    }
    const char* current = CommandOf(s);
    LMenu* shared = SharedMenu();
    for (LMenuItem* i = shared->FirstItem(); i; i = shared->NextItem(i)) {
        if (!i->HasCommands() && !i->Submenu()) {
            AddItem(menu, LString(), nullptr);
            continue;
        }
        if (i->Submenu()) {
            auto* row = AddItem(menu, i->Text(), "");
            row->SetTexts(i->Text());
            if (LMenu* sub = menu->MakeSubmenu(menu->ItemCount() - 1)) {
                for (LMenuItem* e = i->Submenu()->FirstItem(); e; e = i->Submenu()->NextItem(e))
                    AddItem(sub, e->Text(), e->HasCommands() ? "CAppCmd_AddCompo" : nullptr);
            }
            (void)row;
            continue;
        }
        const LString command = i->GetFirstCommand();
        // A file shows its own item at the top instead.
        if (s == Source::kFile && command == LString("CAppCmd_ImgFile")) {
            AddItem(menu, i->Text(), command.CStr());
            continue;
        }
        LMenuItem* item = AddItem(menu, i->Text(), command.CStr());
        if (command == LString(current)) {
            item->SetMarked(true);
            if (s == Source::kVideo) item->SetText(SourceTitle(fValue));
        }
    }
    return menu;
}

void CInParamImage::SetAndNotify(const LString& value) {
    SetValueText(value);
    NotifyChange();
}

bool CInParamImage::Choose(const LMenuItem* item) {
    if (!item) return false;
    uint32_t device = 0;
    const Source s = Classify(fValue, &device);
    if (item->HasCommand("CAppCmd_ImgFile")) {
        const LFsSpec start = s == Source::kFile && fModel ? fModel->ResolveStoredPath(fValue) : LFsSpec();
        LFsSpec chosen;
        if (gChooseFile(start, chosen)) DropFile(chosen);
        return true;
    }
    for (const Special& sp : kSpecials)
        if (item->HasCommand(sp.command)) {
            SetAndNotify(LString(sp.value));
            return true;
        }
    if (item->HasCommand("CAppCmd_ImgVideo")) {
        uint32_t chosen = 0;
        if (gChooseVideo && gChooseVideo(s == Source::kVideo ? device : 0, chosen))
            SetAndNotify(LString((".videoinput" + std::to_string(chosen)).c_str()));
        return true;
    }
    if (item->HasCommand("CAppCmd_ImgNone")) {
        SetAndNotify(LString());
        return true;
    }
    if (item->HasCommand("CAppCmd_ImgReveal")) {
        Dispatch(LMessage(CInParamPane_image_Reveal, this, Upper()));
        return true;
    }
    return fChain->MenuCommand(item);
}

void CInParamImage::DropFile(const LFsSpec& file) {
    if (file.IsEmpty()) return;
    SetAndNotify(fModel ? fModel->MakeStoredPath(file) : file.GetText());
}

LString CInParamImage::GetValueText() {
    return fValue;
}

void CInParamImage::SetValueText(const LString& text) {
    fValue = text;
    (void)fSlot->SetText(SourceTitle(text));
}

void CInParamImage::DescriptionPrefer(LDrawContext& ctx, LLayoutDesc& desc) {
    CInParamPane::DescriptionPrefer(ctx, desc);
    CInCtlFrm* editor = ControlEditor();
    desc.DefineVariable(LString("ctlhi"), ShowControls() && editor ? editor->PreferredHeight(ctx, 0) : 0);
}

LMessage CInParamImage::Handle(const LMessage& msg) {
    if (msg.Is(CTextSlot_Click) && msg.sender == fSlot) {
        LHandlerWatch self(this);
        LMenuItem* chosen = LMenu::PopupContextMenu(this, RebuildMenu(), false);
        if (!self.IsGone()) (void)Choose(chosen);
        return LMessage();
    }
    if (msg.Is(COpenGLView_Update) && fPreview && msg.sender == fPreview) {
        Dispatch(LMessage(CInParamPane_image_Update, this, Upper()));
        return LMessage();
    }
    if (fDrop) {
        switch (fDrop->Dispatch(msg)) {
            case CDropTargetHelper::kSense:
                return LMessage();
            case CDropTargetHelper::kEnter:
            case CDropTargetHelper::kDrag:
                if (CDropFiles(fDrop->Drop()).HasFiles()) fDrop->SetFeedback(LDrop::kCopy);
                return LMessage();
            case CDropTargetHelper::kLeave:
                return LMessage();
            case CDropTargetHelper::kDrop: {
                std::string path;
                if (CDropFiles(fDrop->Drop()).GetPath(0, &path)) {
                    DropFile(LFsSpec(LString(path.c_str())));
                    fDrop->SetFeedback(LDrop::kCopy);
                }
                return LMessage();
            }
            default:
                break;
        }
    }
    return CInParamPane::Handle(msg);
}
