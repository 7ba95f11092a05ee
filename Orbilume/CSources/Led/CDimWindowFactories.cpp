#include "Orbilume/CSources/Led/CDimWindowFactories.h"

#include <memory>

#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Lib3/LSources/CoreUI/LWindowServices.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Editors/CUvAdList.h"
#include "Orbilume/CSources/Editors/CUvAdWin.h"
#include "Orbilume/CSources/Led/CDimDefEditorCtl.h"
#include "Orbilume/CSources/Led/CDimDefWin.h"
#include "Orbilume/CSources/Led/CDimLayoutView.h"
#include "Orbilume/CSources/Led/CDimWindow.h"
#include "Orbilume/CSources/Led/DimWindows.h"
#include "Platform/USB/UsbHost.h"

namespace {

CDimDefLibrary* gLibrary = nullptr;

// The document window calls of a framework window.
template <class Base, class Win>
class CFrameWindow : public Base {
public:
    explicit CFrameWindow(std::unique_ptr<Win> frame) : fFrame(std::move(frame)) {}
    LHandler* Handler() override { return fFrame.get(); }
    void Show() override { fFrame->ShowWindow(); }
    void Hide() override { fFrame->HideWindow(); }
    bool IsVisible() const override {
        LWindowServices* s = LWindowServices::Get();
        return fFrame->Window() && s && s->IsVisible(fFrame->Window());
    }
    void Select() override {
        fFrame->ShowWindow();
        if (LWindowServices* s = LWindowServices::Get(); s && fFrame->Window()) s->MakeKey(fFrame->Window());
    }
    CLRect Frame() const override { return fFrame->GetWindowFrame(); }
    void SetFrame(const CLRect& frame) override {
        if (!frame.IsEmpty() && fFrame->Window()) fFrame->SetWindowFrame(frame);
    }
    void SetTitle(const LString& title) override { fFrame->SetWindowTitle(title); }

protected:
    std::unique_ptr<Win> fFrame;
};

class CDocDimWindow : public CFrameWindow<IDimWindow, CDimWindow> {
public:
    using CFrameWindow::CFrameWindow;
    void SignalRedraw() override {
        if (CDimLayoutView* view = fFrame->View()) view->SignalRedraw();
    }
};

class CDocUvAdWindow : public CFrameWindow<IDimUvAdWindow, CUvAdWin> {
public:
    using CFrameWindow::CFrameWindow;
    void SetSacn(bool sacn) override {
        if (CUvAdList* list = fFrame->List()) list->SetSacnMode(sacn);
    }
};

class CDocDimDefEditor : public IDimDefEditor {
public:
    CDocDimDefEditor(LHandler* upper, CDimDefStore* defs, CRecordRef settings)
        : fCtl(upper, defs, gLibrary) {
        fCtl.SetViewFactory([settings](CDimDefEditorCtl& c) { return CDimDefWin::Make(c, gLibrary, settings); });
    }
    void Open() override { fCtl.ShowEditor(); }

private:
    CDimDefEditorCtl fCtl;
};

std::unique_ptr<IDimWindow> MakeDimWindow(const SDimWindowArgs& args) {
    SDimWindowSources sources;
    sources.settingsHolder = CAppPrefs::Get();
    sources.settings = args.settings;
    sources.dims = args.dims;
    sources.defs = args.defs;
    sources.library = args.library;
    sources.usb = &plat::UsbHost::Current();
    auto frame = std::make_unique<CDimWindow>(args.upper, nullptr, CDimWindow::MakeSpec(), sources);
    return std::make_unique<CDocDimWindow>(std::move(frame));
}

std::unique_ptr<IDimUvAdWindow> MakeUvAdWindow(const SDimUvAdArgs& args) {
    auto frame = std::make_unique<CUvAdWin>(args.upper, nullptr, CUvAdWin::DefaultSpec(), args.settings.Get(),
                                            args.dims, args.uvas);
    auto window = std::make_unique<CDocUvAdWindow>(std::move(frame));
    window->SetSacn(args.sacn);
    return window;
}

std::unique_ptr<IDimDefEditor> MakeDefEditor(LHandler* upper, CDimDefStore* defs, CRecordRef settings) {
    if (!gLibrary) return nullptr;
    return std::make_unique<CDocDimDefEditor>(upper, defs, settings);
}

}  // namespace

void InstallDimWindowFactories(CDimDefLibrary* library) {
    gLibrary = library;
    SDimWindowFactories f;
    f.window = &MakeDimWindow;
    f.universeAddresses = &MakeUvAdWindow;
    f.definitionEditor = library ? &MakeDefEditor : nullptr;
    SetDimWindowFactories(&f);
}
