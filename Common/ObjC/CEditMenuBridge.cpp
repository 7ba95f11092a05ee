#include "Common/ObjC/CEditMenuBridge.h"

#include "Common/ObjC/CMacMenuBridge.h"
#include "Lib3/LSources/CoreUI/LMenu.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Platform/AppKit/Menu.h"
#include "Platform/Foundation/Check.h"

namespace {

struct Binding {
    const char* command;
    const char* action;
};
constexpr Binding kBindings[] = {
    {"LStdCmd_Undo", "undo:"}, {"LStdCmd_Redo", "redo:"},   {"LStdCmd_Cut", "cut:"},
    {"LStdCmd_Copy", "copy:"}, {"LStdCmd_Paste", "paste:"}, {"LStdCmd_Delete", "delete:"},
};

LMenuItem* ItemWithCommand(const LMenu* menu, const char* command) {
    for (LMenuItem* i = menu->FirstItem(); i; i = menu->NextItem(i))
        if (i->HasCommand(command)) return i;
    return nullptr;
}

plat::MenuItem* NativeItemWithTag(const plat::Menu* menu, int32_t tag) {
    if (tag < 0) return nullptr;
    for (int32_t i = 0; i < menu->NumberOfItems(); ++i) {
        plat::MenuItem* item = menu->ItemAtIndex(i);
        if (item && !item->IsSeparator() && item->Tag() == tag) return item;
    }
    return nullptr;
}

}  // namespace

CEditMenuBridge::CEditMenuBridge(LMenuBar* bar) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!bar) bar = LMenuBar::Main();
    LMenu* edit = bar ? bar->FindMenu(LString("EDIT")) : nullptr;
    mMenu = plat::RetainRef(edit ? CMacMenuBridge::NativeMenuOf(edit) : nullptr);
    if (!mMenu) return;
    mAutoenables = mMenu->AutoenablesItems();
    mMenu->SetAutoenablesItems(true);
    for (const Binding& b : kBindings) {
        LMenuItem* item = ItemWithCommand(edit, b.command);
        plat::MenuItem* native = item ? NativeItemWithTag(mMenu.get(), item->Tag()) : nullptr;
        if (!native) continue;
        mSaved.push_back({plat::RetainRef(native), native->Action()});
        native->SetAction(b.action);
    }
}

CEditMenuBridge::~CEditMenuBridge() {
    PLAT_DCHECK_MAIN_THREAD();
    for (Saved& s : mSaved) s.item->SetAction(s.action.c_str());
    mSaved.clear();
    if (mMenu) mMenu->SetAutoenablesItems(mAutoenables);
}
