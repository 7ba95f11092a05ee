#include "Common/ObjC/AppDelegate.h"

#include <cstring>

#include "Common/ObjC/CExtCmd.h"
#include "Common/ObjC/CMacMainLoop.h"
#include "Common/ObjC/CMacMenuBridge.h"
#include "Lib3/LSources/CoreData/CMainLoopUI.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"

namespace {

AppDelegate* gDelegate = nullptr;
// An update cycle started from inside the deferred pass sends no second "CMainLoopBase_Deferred".
bool gInUpdate = false;

constexpr LMsgId kMenuBarReady = LMenuBar_Ready;
constexpr LMsgId kMenuItemSelected = LMenuItem_Selected;
constexpr const char* kChosenAction = "menuitemchoosen:";

bool Is(const char* a, const char* b) {
    return a && b && std::strcmp(a, b) == 0;
}

}  // namespace

AppDelegate::AppDelegate(Hook create, Hook destroy) : mCreate(create), mDestroy(destroy) {
    gDelegate = this;
}

AppDelegate::~AppDelegate() {
    if (gDelegate == this) gDelegate = nullptr;
}

AppDelegate* AppDelegate::Get() {
    return gDelegate;
}

void AppDelegate::WillFinishLaunching() {
    plat::AutoreleasePool pool;
    if (mCreate) mCreate();
}

void AppDelegate::WillTerminate() {
    if (mDestroy) mDestroy();
}

bool AppDelegate::OpenFile(const char* path) {
    mOpened = true;
    if (mMain) {
        CExtCmd cmd;
        cmd.AddFilePath(path);
        LHandler::Dispatch(LMessage(CExtCmd_Open, &cmd, mMain));
    }
    return true;
}

bool AppDelegate::OpenUntitledFile() {
    if (mOpened || !mMain) return true;
    mOpened = true;
    CExtCmd cmd;
    LHandler::Dispatch(LMessage(CExtCmd_Open, &cmd, mMain));
    return true;
}

void AppDelegate::DidFinishLaunching() {
    OpenUntitledFile();
}

plat::ApplicationDelegate::TerminateReply AppDelegate::ShouldTerminate() {
    if (!mMain) return TerminateReply::kNow;
    mMain->SetQuitPending(true);
    LHandler::Dispatch(LMessage(CMainLoopBase_Quit, mMain, mMain->Upper()));
    // The loop clears the flag when the request comes back to it unconsumed.
    return mMain->QuitPending() ? TerminateReply::kCancel : TerminateReply::kNow;
}

void AppDelegate::DidBecomeActive() {
    if (!mMain) return;
    mMain->SetActive(true);
    LHandler::Dispatch(LMessage(CMainLoopBase_Switch, mMain, mMain->Upper()));
}

void AppDelegate::DidResignActive() {
    if (!mMain) return;
    mMain->SetActive(false);
    LHandler::Dispatch(LMessage(CMainLoopBase_Switch, mMain, mMain->Upper()));
}

void AppDelegate::WillUpdate() {
    if (!mMain || gInUpdate) return;
    gInUpdate = true;
    LHandler::Dispatch(LMessage(CMainLoopBase_Deferred, mMain, mMain->Upper()));
    gInUpdate = false;
}

void AppDelegate::HandleAppleEvent(const plat::Object* event, plat::Object* reply) {
    LHandler* root = CMainLoopBase::AppRoot();
    if (!root) return;
    CExtCmdAE cmd(event, reply);
    LHandler::Dispatch(LMessage(CExtCmd_AE, &cmd, root));
}

void AppDelegate::MenuBarTrack() {
    CMainLoopUI* ui = CMainLoopUI::Get();
    LHandler* bar = ui ? ui->MenuBar() : nullptr;
    if (!bar) return;
    LHandler* target = mMain ? mMain->FocusTarget() : nullptr;
    ui->ResetMenuCommands();
    LHandler::Dispatch(LMessage(kMenuBarReady, bar, target ? target : bar));
    // The system's items in the framework's menus (Quit) follow what the pass enabled.
    if (plat::Menu* main = plat::Application::Shared()->MainMenu())
        for (int32_t i = 0; i < main->NumberOfItems(); ++i)
            if (CMacMenuBridge* bridge = CMacMenuBridge::ForMenu(main->ItemAtIndex(i)->Submenu()))
                bridge->ValidateForeignItems();
}

bool AppDelegate::RespondsToAction(const char* action) const {
    return Is(action, kChosenAction) || Is(action, plat::kTerminateAction);
}

void AppDelegate::PerformAction(const char* action, plat::MenuItem* sender) {
    if (!Is(action, kChosenAction) || !sender || sender->HasSubmenu() || mPopups > 0) return;
    LMenuBar* bar = LMenuBar::Main();
    CMainLoopBase* loop = CMainLoopBase::Get();
    if (!bar || !loop) return;
    // By tag: items that stay out of the native menu shift no index.
    LMenuItem* item = bar->SelectNativeItem(sender->Tag());
    if (!item) return;
    LHandler* target = loop->FocusTarget();
    LHandler::Dispatch(LMessage(kMenuItemSelected, item, target ? target : bar));
}

int AppDelegate::ValidateMenuItem(const plat::MenuItem* item) {
    if (!item || !Is(item->Action().c_str(), plat::kTerminateAction)) return 1;
    LMenuBar* bar = LMenuBar::Main();
    return bar && bar->FindCommand("LStdCmd_Quit") ? 1 : 0;
}

void AppDelegate::MenuBarTracking(const char*, const void* menu, void* self) {
    if (menu && menu == plat::Application::Shared()->MainMenu())
        static_cast<AppDelegate*>(self)->MenuBarTrack();
}

void AppDelegate::MenuAction(const char*, const void* item, void*) {
    auto* sent = static_cast<const plat::MenuItem*>(item);
    if (sent && Is(sent->Action().c_str(), plat::kTerminateAction)) plat::Application::Shared()->Terminate();
}
