#include "Common/ObjC/CMacMenuBridge.h"

#include <algorithm>
#include <cctype>
#include <string>

#include "Common/ObjC/MMainMenu.h"
#include "Lib3/LSources/CoreUI/LImage.h"
#include "Lib3/LSources/CoreUI/LMenu.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/String/UWord.h"
#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Event.h"
#include "Platform/AppKit/Menu.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Check.h"
#include "Platform/Graphics/BitmapImage.h"

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

// The system's application menu (the main menu's first submenu while no bridge owns it), taken
// out of the main menu; else a new one like it. Every window's menu group has an application menu,
// and each must not take the one another bridge already shows.
plat::Ref<plat::Menu> TakeApplicationMenu() {
    plat::Menu* main = plat::Application::Shared()->MainMenu();
    plat::MenuItem* first = main ? main->ItemAtIndex(0) : nullptr;
    plat::Menu* system = first ? first->Submenu() : nullptr;
    if (system && !system->Owner()) {
        plat::Ref<plat::Menu> menu = plat::RetainRef(system);
        main->RemoveItemAtIndex(0);
        return menu;
    }
    return MMainMenu::NewApplicationMenu();
}

plat::Ref<plat::MenuItem> NewItem(const LString& title, int32_t tag) {
    plat::Ref<plat::MenuItem> item = plat::MenuItem::Create(title.CStr(), kChosenAction, "");
    item->SetTag(tag);
    return item;
}

LMenuNative* MakeBridge(LMenu* menu) {
    return new CMacMenuBridge(menu->Title());
}

}  // namespace

void CMacMenuBridge::InstallFactory(bool install) {
    LMenuNative::SetFactory(install ? &MakeBridge : nullptr);
}

uint32_t CMacMenuBridge::ModifierMask(uint32_t modifiers) {
    if (modifiers & 0x80) return plat::kCommandKeyMask;
    uint32_t mask = plat::kCommandKeyMask;
    if (modifiers & 1) mask |= plat::kShiftKeyMask;
    if (modifiers & 2) mask |= plat::kAlternateKeyMask;
    if (modifiers & 4) mask |= plat::kControlKeyMask;
    if (modifiers & 8) mask &= ~uint32_t(plat::kCommandKeyMask);
    return mask;
}

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
        fAppName = name;
        fMenu = TakeApplicationMenu();
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

plat::Menu* CMacMenuBridge::NativeMenuOf(const LMenu* menu) {
    auto* bridge = menu ? static_cast<CMacMenuBridge*>(menu->Native()) : nullptr;
    return bridge ? bridge->NativeMenu() : nullptr;
}

// The application menu's own items show the application's name too.
LString CMacMenuBridge::Title(const LMenuItem* item) const {
    std::string text;
    if (!fAppName.IsEmpty() && WithAppName(item->Text().CStr(), fAppName, &text))
        return LString(text.c_str());
    return item->Text();
}

void CMacMenuBridge::InsertItem(uint32_t index, LMenuItem* item) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!item) return;
    plat::Ref<plat::MenuItem> native = NewItem(Title(item), item->AssignTag());
    if (item->HasCommand("LStdCmd_Help")) {
        native->SetTarget(plat::Application::Shared());
        native->SetAction(plat::kShowHelpAction);
    }
    index = std::min(index, fOwn);
    fMenu->InsertItem(native.get(), int32_t(index));
    ++fOwn;
}

void CMacMenuBridge::RemoveItem(uint32_t index) {
    PLAT_DCHECK_MAIN_THREAD();
    if (index >= fOwn) return;
    fMenu->RemoveItemAtIndex(int32_t(index));
    --fOwn;
}

void CMacMenuBridge::UpdateItem(uint32_t index, LMenuItem* item) {
    PLAT_DCHECK_MAIN_THREAD();
    plat::MenuItem* native = fMenu->ItemAtIndex(int32_t(index));
    if (!native || !item || index >= fOwn) return;
    const bool separator = item->Text().IsEmpty();
    if (native->IsSeparator() != separator) {
        plat::Ref<plat::MenuItem> replacement =
            separator ? plat::MenuItem::Separator() : NewItem(Title(item), 0);
        replacement->SetTag(item->AssignTag());
        fMenu->RemoveItemAtIndex(int32_t(index));
        fMenu->InsertItem(replacement.get(), int32_t(index));
        native = replacement.get();
    } else if (!separator) {
        native->SetTitle(Title(item).CStr());
    }
    native->SetTag(item->AssignTag());
    if (separator) return;
    native->SetEnabled(item->IsEnabled());
    if (plat::Menu* sub = NativeMenuOf(item->Submenu())) {
        fMenu->SetSubmenu(sub, native);
    } else {
        if (native->HasSubmenu()) {
            fMenu->SetSubmenu(nullptr, native);
            native->SetAction(kChosenAction);
        }
        const uint32_t mods = item->KeyModifiers();
        const bool noKey = (mods & 0x80) || !item->KeyChar();
        char key = char(std::tolower(item->KeyChar()));
        native->SetKeyEquivalent(noKey ? std::string() : std::string(1, key));
        native->SetKeyEquivalentModifierMask(ModifierMask(noKey ? 0x80 : mods));
        native->SetState(item->IsMarked() ? 1 : 0);
    }
    plat::BitmapImage* image = nullptr;
    if (!item->Image().IsEmpty()) item->Image()->GetNativeImage(image);
    native->SetImage(image);
}

void CMacMenuBridge::ValidateForeignItems() const {
    PLAT_DCHECK_MAIN_THREAD();
    for (int32_t i = int32_t(fOwn); i < fMenu->NumberOfItems(); ++i) {
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

void CMacMenuBridge::InstallInMenuBar(const LMenuNative* before) {
    PLAT_DCHECK_MAIN_THREAD();
    plat::Application* app = plat::Application::Shared();
    plat::Menu* bar = app->MainMenu();
    if (!bar) {
        plat::Ref<plat::Menu> made = plat::Menu::Create("");
        app->SetMainMenu(made.get());
        bar = made.get();
    }
    RemoveFromMenuBar();  // installing again moves it
    auto* other = static_cast<const CMacMenuBridge*>(before);
    int32_t index = other ? bar->IndexOfItemWithSubmenu(other->fMenu.get()) : -1;
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
