#include "Common/ObjC/CMacMainLoopUI.h"

#include "Lib3/LSources/CoreString/LVariStr.h"
#include "Lib3/LSources/CoreUI/LKeyboard.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/CoreUI/LMenuKeySpec.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LPane.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Lib3/LSources/CoreUI/LWindowServices.h"
#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Cursor.h"
#include "Platform/Foundation/Check.h"

LHandler* CMacMainLoopUI::FrontModalOwner() {
    LWindowServices* s = LWindowServices::Get();
    LWindow* front = s ? s->FrontWindowOfKind(LWindow::kModal) : nullptr;
    return front ? front->Upper() : nullptr;
}

bool CMacMainLoopUI::HasKeyWindow() {
    PLAT_DCHECK_MAIN_THREAD();
    return plat::Application::Shared()->KeyWindow() != nullptr;
}

LHandler* CMacMainLoopUI::KeyWindowTarget() {
    PLAT_DCHECK_MAIN_THREAD();
    LWindow* window = LWindow::FindWindow(plat::Application::Shared()->KeyWindow());
    if (!window) return nullptr;
    if (LPane* root = window->RootPane())
        if (LPane* focus = root->FindFocusable()) return focus;
    return window->Upper();
}

LHandler* CMacMainLoopUI::MouseRecord() {
    return LMouse::Get();
}

LHandler* CMacMainLoopUI::CaptureHolder() {
    LMouse* mouse = LMouse::Get();
    return mouse ? mouse->Tracker() : nullptr;
}

void CMacMainLoopUI::ReleaseCapture() {
    if (LMouse* mouse = LMouse::Get()) mouse->ReleaseTracker();
}

void CMacMainLoopUI::SetCaptureHolder(LHandler* pane) {
    if (LMouse* mouse = LMouse::Get()) mouse->SetTracker(pane);
}

void CMacMainLoopUI::SetArrowCursor() {
    plat::Cursor::Arrow()->Set();
}

LHandler* CMacMainLoopUI::KeyboardRecord() {
    return LKeyboard::Get();
}

uint32_t CMacMainLoopUI::KeyChar() {
    LKeyboard* kb = LKeyboard::Get();
    return kb ? kb->Char() : 0;
}

uint32_t CMacMainLoopUI::KeyModifiers() {
    LKeyboard* kb = LKeyboard::Get();
    if (!kb) return 0;
    uint32_t m = 0;
    if (kb->IsControlDown()) m |= kControlKey;
    if (kb->IsOptionDown()) m |= kOptionKey;
    if (kb->IsCommandDown()) m |= kCommandKey;
    return m;
}

void CMacMainLoopUI::ClearKeyHandled() {
    if (LKeyboard* kb = LKeyboard::Get()) kb->SetHandled(false);
}

void CMacMainLoopUI::TakeFocus(LHandler* pane) {
    if (pane) static_cast<LPane*>(pane)->ChangeState(LPane::kFocus);
}

LHandler* CMacMainLoopUI::MenuBar() {
    return LMenuBar::Main();
}

void CMacMainLoopUI::ResetMenuCommands() {
    if (LMenuBar* bar = LMenuBar::Main()) bar->ResetItemStates();
}

void CMacMainLoopUI::EnableCommand(const char* command, const char* itemText) {
    if (LMenuBar* bar = LMenuBar::Main()) bar->EnableCommand(command, itemText, false);
}

LHandler* CMacMainLoopUI::FindEnabledItem(const char* command) {
    LMenuBar* bar = LMenuBar::Main();
    return bar ? bar->SelectCommand(command) : nullptr;
}

LHandler* CMacMainLoopUI::FindEnabledKeyItem() {
    LMenuBar* bar = LMenuBar::Main();
    LKeyboard* kb = LKeyboard::Get();
    if (!bar || !kb) return nullptr;
    LVariStr<64> spec;
    if (!LMenuKeySpec::WriteKeySpec(*kb, spec)) return nullptr;
    return bar->SelectItemByKey(spec.CStr());
}

bool CMacMainLoopUI::ItemHasCommand(LHandler* item, const char* command) {
    return item && static_cast<LMenuItem*>(item)->HasCommand(command);
}

namespace {
CMacMainLoopUI::AppWindows gAppWindows{};
}  // namespace

void CMacMainLoopUI::SetAppWindows(const AppWindows* windows) {
    gAppWindows = windows ? *windows : AppWindows{};
}

void CMacMainLoopUI::RunAboutBox(LHandler* root) {
    if (gAppWindows.runAboutBox) gAppWindows.runAboutBox(root);
}

LHandler* CMacMainLoopUI::MakeViewPrefsWindow(LHandler* root) {
    return gAppWindows.makeViewPrefs ? gAppWindows.makeViewPrefs(root) : nullptr;
}

void CMacMainLoopUI::ShowWindow(LHandler* window) {
    if (window && gAppWindows.showWindow) gAppWindows.showWindow(window);
}
