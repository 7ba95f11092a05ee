#include "Common/ObjC/CMacMenuBridge.h"

#include <algorithm>
#include <cctype>
#include <string>

#include "Lib3/LSources/String/UWord.h"
#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Event.h"
#include "Platform/AppKit/Menu.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Check.h"

namespace {

constexpr const char* kChosenAction = "menuitemchoosen:";

const unsigned char* Bytes(const char* s) {
    return reinterpret_cast<const unsigned char*>(s);
}

// The title with the application's name for its first numbered placeholder; false when it has none.
bool WithAppName(const std::string& title, const LString& name, std::string* out) {
    const unsigned char* texts[] = {name.Text()};
    LString result = UWord::Substitute(Bytes(title.c_str()), texts, 1);
    if (result == title.c_str()) return false;
    *out = result.CStr();
    return true;
}

// The main menu's first submenu, taken out of the main menu, or null.
plat::Ref<plat::Menu> TakeApplicationMenu() {
    plat::Menu* main = plat::Application::Shared()->MainMenu();
    plat::MenuItem* first = main ? main->ItemAtIndex(0) : nullptr;
    plat::Ref<plat::Menu> menu(first ? first->Submenu() : nullptr);
    if (!menu) return nullptr;
    main->RemoveItemAtIndex(0);
    return menu;
}

plat::Ref<plat::MenuItem> NewItem(const LString& title) {
    return plat::MenuItem::Create(title.CStr(), kChosenAction, "");
}

uint32_t ModifierMask(uint8_t modifiers) {
    if (modifiers & 0x80) return plat::kCommandKeyMask;
    uint32_t mask = plat::kCommandKeyMask;
    if (modifiers & 1) mask |= plat::kShiftKeyMask;
    if (modifiers & 2) mask |= plat::kAlternateKeyMask;
    if (modifiers & 4) mask |= plat::kControlKeyMask;
    if (modifiers & 8) mask &= ~uint32_t(plat::kCommandKeyMask);
    return mask;
}

}  // namespace

LString CMacMenuBridge::ApplicationName() {
    const std::string bundle = plat::MainBundlePath();
    std::string name = plat::BundleInfoValue(bundle, "CFBundleDisplayName");
    if (name.empty()) name = plat::BundleInfoValue(bundle, "CFBundleName");
    return LString(name.empty() ? "App" : name.c_str());
}

CMacMenuBridge::CMacMenuBridge(const LString& title) {
    PLAT_DCHECK_MAIN_THREAD();
    if (title.Length() == 1 && title.CStr()[0] == kAppMenuTitle) {
        const LString name = ApplicationName();
        fMenu = TakeApplicationMenu();
        if (!fMenu) fMenu = plat::Menu::Create("%0");
        std::string text;
        if (WithAppName(fMenu->Title(), name, &text)) fMenu->SetTitle(text);
        for (int32_t i = 0; i < fMenu->NumberOfItems(); ++i) {
            plat::MenuItem* item = fMenu->ItemAtIndex(i);
            if (WithAppName(item->Title(), name, &text)) item->SetTitle(text);
        }
    } else {
        fMenu = plat::Menu::Create(title.CStr());
    }
    fMenu->SetAutoenablesItems(false);
    fMenu->SetOwner(this);
}

CMacMenuBridge::~CMacMenuBridge() {
    if (fMenu->Owner() == this) fMenu->SetOwner(nullptr);
}

CMacMenuBridge* CMacMenuBridge::ForMenu(const plat::Menu* menu) {
    return menu ? static_cast<CMacMenuBridge*>(menu->Owner()) : nullptr;
}

void CMacMenuBridge::InsertItem(uint32_t index, const SMacMenuItem& item) {
    PLAT_DCHECK_MAIN_THREAD();
    plat::Ref<plat::MenuItem> native = NewItem(item.title);
    if (item.command == "LStdCmd_Help") {
        native->SetTarget(plat::Application::Shared());
        native->SetAction(plat::kShowHelpAction);
    }
    index = std::min<uint32_t>(index, uint32_t(fItems.size()));
    fMenu->InsertItem(native.get(), int32_t(index));
    fItems.insert(fItems.begin() + index, item.item);
}

void CMacMenuBridge::RemoveItem(uint32_t index) {
    PLAT_DCHECK_MAIN_THREAD();
    if (index >= fItems.size()) return;
    fMenu->RemoveItemAtIndex(int32_t(index));
    fItems.erase(fItems.begin() + index);
}

void CMacMenuBridge::UpdateItem(uint32_t index, const SMacMenuItem& item) {
    PLAT_DCHECK_MAIN_THREAD();
    plat::MenuItem* native = fMenu->ItemAtIndex(int32_t(index));
    if (!native || index >= fItems.size()) return;
    fItems[index] = item.item;
    const bool separator = item.title.IsEmpty();
    if (native->IsSeparator() != separator) {
        plat::Ref<plat::MenuItem> replacement = separator ? plat::MenuItem::Separator() : NewItem(item.title);
        fMenu->RemoveItemAtIndex(int32_t(index));
        fMenu->InsertItem(replacement.get(), int32_t(index));
        native = replacement.get();
    } else if (!separator) {
        native->SetTitle(item.title.CStr());
    }
    if (separator) return;
    native->SetEnabled(item.enabled);
    if (item.submenu) {
        fMenu->SetSubmenu(item.submenu->NativeMenu(), native);
    } else {
        if (native->HasSubmenu()) {
            fMenu->SetSubmenu(nullptr, native);
            native->SetAction(kChosenAction);
        }
        const bool noKey = item.modifiers & 0x80;
        char key = char(std::tolower(static_cast<unsigned char>(item.key)));
        native->SetKeyEquivalent(noKey || !key ? std::string() : std::string(1, key));
        native->SetKeyEquivalentModifierMask(ModifierMask(item.modifiers));
        native->SetState(item.checked ? 1 : 0);
    }
    native->SetImage(item.image);
}

LHandler* CMacMenuBridge::ItemFor(const plat::MenuItem* native) const {
    int32_t index = fMenu->IndexOfItem(native);
    if (index < 0 || size_t(index) >= fItems.size()) return nullptr;
    return fItems[size_t(index)];
}

void CMacMenuBridge::ValidateForeignItems() const {
    PLAT_DCHECK_MAIN_THREAD();
    for (int32_t i = int32_t(fItems.size()); i < fMenu->NumberOfItems(); ++i) {
        plat::MenuItem* item = fMenu->ItemAtIndex(i);
        if (item->IsSeparator()) continue;
        plat::MenuTarget* target = item->Target() ? item->Target() : plat::Application::Shared();
        if (!target->RespondsToAction(item->Action().c_str())) {
            item->SetEnabled(item->HasSubmenu());
            continue;
        }
        item->SetEnabled(target->ValidateMenuItem(item) != 0);
    }
}

void CMacMenuBridge::InstallInMenuBar(const CMacMenuBridge* before) {
    PLAT_DCHECK_MAIN_THREAD();
    plat::Application* app = plat::Application::Shared();
    plat::Menu* bar = app->MainMenu();
    if (!bar) {
        app->SetMainMenu(plat::Menu::Create("").get());
        bar = app->MainMenu();
    }
    int32_t index = before ? bar->IndexOfItemWithSubmenu(before->fMenu.get()) : -1;
    if (index < 0) index = bar->NumberOfItems();
    plat::Ref<plat::MenuItem> holder = plat::MenuItem::Create(fMenu->Title(), "", "");
    bar->InsertItem(holder.get(), index);
    bar->SetSubmenu(fMenu.get(), holder.get());
}

void CMacMenuBridge::RemoveFromMenuBar() {
    PLAT_DCHECK_MAIN_THREAD();
    plat::Menu* super = fMenu->Supermenu();
    if (!super) return;
    int32_t index = super->IndexOfItemWithSubmenu(fMenu.get());
    if (index >= 0) super->RemoveItemAtIndex(index);
}
