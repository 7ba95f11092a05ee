#include "Lib3/LSources/CoreUI/LMenuItem.h"

#include <cstring>

#include "Lib3/LSources/CoreUI/LMenu.h"
#include "Lib3/LSources/CoreUI/LMenuKeySpec.h"
#include "Platform/Foundation/Check.h"

namespace {
int32_t gNextTag = 0;
}

LMenuItem::LMenuItem(LMenu* menu) : LHandler(menu) {}

LMenuItem::~LMenuItem() {
    const bool owns = OwnsSubmenu();
    if (fMenu) fMenu->RemoveItem(this);
    if (owns) delete fSubmenu;
    fSubmenu = nullptr;
    while (SSLink* n = fCommands.RemoveFirst()) delete static_cast<SCommand*>(n);
}

bool LMenuItem::OwnsSubmenu() const {
    return fSubmenu && fMenu && fSubmenu->Parent() == fMenu;
}

void LMenuItem::SetSubmenu(LMenu* submenu) {
    if (submenu == fSubmenu) return;
    if (OwnsSubmenu()) delete fSubmenu;
    fSubmenu = submenu;
    fDirty = true;
    LMenu::Touch();
}

LMenu* LMenuItem::TakeSubmenu() {
    LMenu* menu = fSubmenu;
    fSubmenu = nullptr;
    LMenu::Touch();
    return menu;
}

void LMenuItem::ApplyKey(const LString& spec, bool builtIn) {
    SMenuKeySpec parsed;
    if (!spec.IsEmpty() && LMenuKeySpec::ParseKeySpec(spec.CStr(), &parsed)) {
        fKeySpec = spec;
        fKeyChar = parsed.key;
        fKeyModifiers = LMenuKeySpec::ItemModifiers(parsed);
        fHasKey = builtIn;
    } else {
        fKeySpec = LString();
        fKeyChar = 0;
        fKeyModifiers = kNoKey;
        if (builtIn) fHasKey = false;
    }
    fDirty = true;
}

void LMenuItem::SetKeySpec(const LString& spec) {
    ApplyKey(spec, true);
}

void LMenuItem::SetUserKeySpec(const LString& spec) {
    if (fHasKey) return;
    ApplyKey(spec, false);
}

int32_t LMenuItem::AssignTag() {
    if (fTag < 0) {
        if (gNextTag == INT32_MAX) gNextTag = 0;
        fTag = ++gNextTag;
    }
    return fTag;
}

void LMenuItem::SetCommand(const char* id) {
    while (SSLink* n = fCommands.RemoveFirst()) delete static_cast<SCommand*>(n);
    LMenu::Touch();
    AddCommand(id);
}

void LMenuItem::AddCommand(const char* id) {
    if (!id || !*id || HasCommand(id)) return;
    auto* node = new SCommand;
    node->id = LString(id);
    fCommands.Append(node);
    LMenu::Touch();
}

bool LMenuItem::HasCommand(const char* id) const {
    if (!id) id = "";
    for (SSLink* n = fCommands.First(); !n->IsEnd(); n = n->next)
        if (std::strcmp(static_cast<SCommand*>(n)->id.CStr(), id) == 0) return true;
    return false;
}

LString LMenuItem::GetFirstCommand() const {
    SSLink* n = fCommands.First();
    return n->IsEnd() ? LString() : static_cast<SCommand*>(n)->id;
}

void LMenuItem::ForEachCommand(void (*f)(void*, const LString&), void* context) const {
    for (SSLink* n = fCommands.First(); !n->IsEnd(); n = n->next) f(context, static_cast<SCommand*>(n)->id);
}
