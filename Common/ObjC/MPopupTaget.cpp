#include "Common/ObjC/MPopupTaget.h"

#include "Common/ObjC/AppDelegate.h"
#include "Common/ObjC/CMacMenuBridge.h"
#include "Lib3/LSources/CoreUI/LMenu.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LPane.h"
#include "Platform/AppKit/Menu.h"
#include "Platform/AppKit/NotificationCenter.h"
#include "Platform/AppKit/Window.h"
#include "Platform/Foundation/Check.h"

MPopupTaget::MPopupTaget() {
    plat::NotificationCenter::Default().AddObserver(this, &MenuAction, plat::kMenuWillSendActionNotification,
                                                    nullptr);
}

MPopupTaget::~MPopupTaget() {
    plat::NotificationCenter::Default().RemoveObserver(this);
}

void MPopupTaget::MenuAction(const char*, const void* item, void* self) {
    auto* sent = static_cast<const plat::MenuItem*>(item);
    if (sent && !sent->HasSubmenu()) static_cast<MPopupTaget*>(self)->fChosen = sent;
}

int32_t MPopupTaget::ChosenTag() const {
    return fChosen ? fChosen->Tag() : -1;
}

namespace {

// Pops the framework menu up over the owner's window, below `at` (screen) when given, else at the
// owner's press or the pointer. With ready the items are enabled by the owner's chain (else by the
// caller beforehand); with send the chosen item goes to the owner.
LMenuItem* PopUp(LPane* owner, LMenu* menu, bool ready, bool send, const CLRect* at) {
    plat::Menu* native = CMacMenuBridge::NativeMenuOf(menu);
    if (!owner || !menu || !native) return nullptr;
    LHandlerWatch watch(owner);
    LHandlerWatch menuWatch(menu);
    LPopupMenuBar bar(nullptr);
    bar.AddMenu(menu, 0);
    if (ready) {
        bar.ResetItemStates();
        LHandler::Dispatch(LMessage(LMenuBar_Ready, &bar, owner));
    } else {
        LHandler::Dispatch(LMessage(LMenuBar_Ready, &bar, &bar));
    }
    LMenuItem* found = nullptr;
    {
        MPopupTaget target;
        AppDelegate* delegate = AppDelegate::Get();
        if (delegate) delegate->BeginPopup();
        plat::Window* window = owner->GetWindow();
        if (at) {
            (void)native->PopUp(nullptr, {double(at->left), double(at->bottom)}, window);
        } else {
            LMouse* mouse = LMouse::Get();
            plat::Event event;
            if (mouse) event = mouse->CurrentEvent();
            if (window && (!mouse || event.windowNumber != window->Number())) {
                // No press of this window to place it at: the pointer.
                event.windowNumber = window->Number();
                event.location = window->ConvertFromScreen(plat::Application::Shared()->MouseLocation());
            }
            (void)native->PopUpContextMenu(event, window ? window->ContentView() : nullptr);
        }
        if (delegate) delegate->EndPopup();
        if (target.ChosenTag() >= 0) found = bar.FindNativeItem(target.ChosenTag());
    }
    if (menuWatch.IsGone()) found = nullptr;
    // Timers of the nested loop may have destroyed the owner: then nothing is sent.
    if (send && found && !watch.IsGone()) LHandler::Dispatch(LMessage(LMenuItem_Selected, found, owner));
    bar.RemoveMenu(menu);  // a menu destroyed meanwhile left the bar already
    return found;
}

}  // namespace

LMenuItem* LMenu::PopupContextMenu(LPane* owner, LMenu* menu, bool send) {
    PLAT_DCHECK_MAIN_THREAD();
    return PopUp(owner, menu, send, send, nullptr);
}

LMenuItem* LMenu::PopupMenuAt(LPane* owner, LMenu* menu, const CLRect& screenRect) {
    PLAT_DCHECK_MAIN_THREAD();
    return PopUp(owner, menu, true, false, &screenRect);
}
