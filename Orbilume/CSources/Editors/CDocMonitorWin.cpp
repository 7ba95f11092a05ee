#include "Orbilume/CSources/Editors/CDocMonitorWin.h"

#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Lib3/LSources/CoreUI/LWindowServices.h"
#include "Orbilume/CSources/Editors/CMonitorSizeDlg.h"
#include "Orbilume/CSources/Editors/CMonitorWin.h"
#include "Platform/Foundation/Check.h"

CDocMonitorWin::CDocMonitorWin(const SDocWindowArgs& args)
    : fWin(std::make_unique<CMonitorWin>(args.upper, args.engine, args.fullScreen)) {
    PLAT_DCHECK_MAIN_THREAD();
}

CDocMonitorWin::~CDocMonitorWin() {
    PLAT_DCHECK_MAIN_THREAD();
}

LHandler* CDocMonitorWin::Handler() {
    return fWin.get();
}

void CDocMonitorWin::Show() {
    fWin->ShowWindow();
}

void CDocMonitorWin::Hide() {
    fWin->HideWindow();
}

bool CDocMonitorWin::IsVisible() const {
    LWindowServices* s = LWindowServices::Get();
    return fWin->Window() && s && s->IsVisible(fWin->Window());
}

void CDocMonitorWin::Select() {
    fWin->ShowWindow();
    if (LWindowServices* s = LWindowServices::Get(); s && fWin->Window()) s->MakeKey(fWin->Window());
}

CLRect CDocMonitorWin::Frame() const {
    return fWin->GetWindowFrame();
}

void CDocMonitorWin::SetFrame(const CLRect& frame) {
    fWin->SetWindowOuterFrame(frame);
}

void CDocMonitorWin::SetTitle(const LString& title) {
    fWin->SetWindowTitle(title);
}

bool CDocMonitorWin::IsFullScreen() const {
    return fWin->IsFullScreen();
}

void CDocMonitorWin::SetFixedSize(bool fixed) {
    fWin->SetFixedSize(fixed);
}

void CDocMonitorWin::ContentSize(uint32_t& width, uint32_t& height) const {
    const CLRect view = fWin->ViewBounds();
    width = view.IsEmpty() ? 0 : static_cast<uint32_t>(view.right - view.left);
    height = view.IsEmpty() ? 0 : static_cast<uint32_t>(view.bottom - view.top);
}

void CDocMonitorWin::SetContentSize(uint32_t width, uint32_t height) {
    fWin->SetViewSize(static_cast<int32_t>(width), static_cast<int32_t>(height));
}

uint32_t CDocMonitorWin::RunSizeDialog() {
    return CMonitorSizeDlg::RunCommand(fWin->Upper(), fWin.get());
}

std::unique_ptr<IMonitorWin> CDocMonitorWin::Make(const SDocWindowArgs& args) {
    if (!args.engine) return nullptr;
    return std::make_unique<CDocMonitorWin>(args);
}

void CDocMonitorWin::Install() {
    SDocWindowFactories f = DocWindowFactories();
    f.monitor = &CDocMonitorWin::Make;
    SetDocWindowFactories(&f);
}
