#include "Orbilume/CSources/Editors/CAppWindows.h"

#include <memory>

#include "Common/ObjC/CMacMainLoopUI.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreUI/LFrame.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Lib3/LSources/CoreUI/LWindowServices.h"
#include "Orbilume/CSources/App/DocWindows.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Editors/CInParamImage.h"
#include "Orbilume/CSources/Editors/CStartupWin.h"
#include "Orbilume/CSources/Editors/CTextEditWin.h"
#include "Orbilume/CSources/Editors/CVDevDialog.h"
#include "Orbilume/CSources/Editors/CViewPrefs.h"
#include "Orbilume/CSources/Editors/CViewPrefsDlg.h"
#include "Orbilume/CSources/Editors/OutputAdjustWindow.h"
#include "Orbilume/CSources/Engine/CCtlInHub.h"
#include "Platform/Foundation/Check.h"

namespace {

// A framework window seen through IDocWindow.
template <class W>
class FrameWindow : public IDocWindow {
public:
    explicit FrameWindow(std::unique_ptr<W> window) : fWin(std::move(window)) {}
    LHandler* Handler() override { return fWin.get(); }
    void Show() override { fWin->ShowWindow(); }
    void Hide() override { fWin->HideWindow(); }
    bool IsVisible() const override {
        LWindowServices* s = LWindowServices::Get();
        return fWin->Window() && s && s->IsVisible(fWin->Window());
    }
    void Select() override { fWin->ShowWindow(); }
    CLRect Frame() const override { return fWin->GetWindowFrame(); }
    void SetFrame(const CLRect& frame) override { fWin->SetWindowOuterFrame(frame); }
    void SetTitle(const LString& title) override { fWin->SetWindowTitle(title); }
    W* Window() const { return fWin.get(); }

protected:
    std::unique_ptr<W> fWin;
};

class StartupWindow : public FrameWindow<CStartupWin> {
public:
    using FrameWindow::FrameWindow;
    void Show() override { fWin->Show(); }
};

std::unique_ptr<IDocWindow> MakeStartup(LHandler* upper) {
    auto win = std::make_unique<CStartupWin>(upper);
    (void)win->Text(0)->SetText(LString("Orbilume"));
    return std::make_unique<StartupWindow>(std::move(win));
}

std::unique_ptr<IDocWindow> MakeVideoDevices(LHandler* upper) {
    return std::make_unique<FrameWindow<CVDevDialog>>(
        std::make_unique<CVDevDialog>(upper, CVDevDialog::DefaultSpec(), CAppPrefs::Get()));
}

// The shared text window has no upper handler: it talks only to the pane it is lent to.
std::unique_ptr<IDocWindow> MakeTextEdit(LHandler*) {
    return std::make_unique<FrameWindow<CTextEditWin>>(std::make_unique<CTextEditWin>());
}

// Over the application's preferences, driven by the global control-input hub.
std::unique_ptr<IDocWindow> MakeOutputAdjust(LHandler* upper) {
    return std::make_unique<FrameWindow<OutputAdjustWindow>>(
        std::make_unique<OutputAdjustWindow>(upper, CAppPrefs::Get(), CCtlInHub::Global()));
}

std::unique_ptr<IDocWindow> MakeViewPrefs(LHandler* upper) {
    auto win = std::make_unique<CViewPrefsDlg>(upper, nullptr, CViewPrefsDlg::DefaultSpec());
    win->FitWindowToLayout();
    return std::make_unique<FrameWindow<CViewPrefsDlg>>(std::move(win));
}

LHandler* MakeViewPrefsFrame(LHandler* root) {
    auto* win = new CViewPrefsDlg(root, nullptr, CViewPrefsDlg::DefaultSpec());
    win->FitWindowToLayout();
    return win;
}

void ShowFrame(LHandler* window) {
    // The only window the root shows this way is the view preferences.
    static_cast<CViewPrefsDlg*>(window)->ShowWindow();
}

const CMacMainLoopUI::AppWindows kHooks{&CAboutDialog::Run, &MakeViewPrefsFrame, &ShowFrame};

}  // namespace

void CAppWindows::Install() {
    PLAT_DCHECK_MAIN_THREAD();
    SetAppWindowFactory(EAppWindow::kStartup, &MakeStartup);
    SetAppWindowFactory(EAppWindow::kTextEdit, &MakeTextEdit);
    SetAppWindowFactory(EAppWindow::kVideoDevices, &MakeVideoDevices);
    SetAppWindowFactory(EAppWindow::kViewPrefs, &MakeViewPrefs);
    SetAppWindowFactory(EAppWindow::kOutputAdjust, &MakeOutputAdjust);
    CMacMainLoopUI::SetAppWindows(&kHooks);
    CInParamImage::SetChooseVideoFunction(&CVInSelDialog::Choose);
}

void CAppWindows::Start(CAppPrefs* prefs) {
    PLAT_DCHECK_MAIN_THREAD();
    CRecord* root = prefs ? prefs->Root() : nullptr;
    CViewPrefs& view = CViewPrefs::Get();
    view.Install();
    view.SetParamSet(root ? root->GetSubRecord(CAppPrefs::kPrefViewPrefs) : nullptr);
}

void CAppWindows::Stop() {
    PLAT_DCHECK_MAIN_THREAD();
    CViewPrefs& view = CViewPrefs::Get();
    view.SetParamSet(nullptr);
    view.Uninstall();
}
