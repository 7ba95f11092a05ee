#include "Platform/AppKit/Menu.h"

#include <algorithm>
#include <cctype>

#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Event.h"
#include "Platform/AppKit/MenuTracker.h"
#include "Platform/AppKit/NotificationCenter.h"
#include "Platform/AppKit/View.h"
#include "Platform/AppKit/Window.h"
#include "Platform/Foundation/Check.h"
#include "Platform/Graphics/BitmapImage.h"

namespace plat {

namespace {

constexpr uint32_t kKeyMaskBits = kShiftKeyMask | kControlKeyMask | kAlternateKeyMask | kCommandKeyMask;

std::string Lower(const std::string& s) {
    std::string out(s);
    for (char& c : out) c = char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace

Ref<MenuItem> MenuItem::Create(const std::string& title, const char* action,
                               const std::string& keyEquivalent) {
    PLAT_DCHECK_MAIN_THREAD();
    Ref<MenuItem> item = Adopt(new MenuItem);
    item->fTitle = title;
    item->SetAction(action);
    item->fKey = keyEquivalent;
    item->fKeyMask = kCommandKeyMask;
    return item;
}

Ref<MenuItem> MenuItem::Separator() {
    PLAT_DCHECK_MAIN_THREAD();
    Ref<MenuItem> item = Adopt(new MenuItem);
    item->fSeparator = true;
    item->fEnabled = false;
    return item;
}

MenuItem::~MenuItem() {
    if (fSubmenu) fSubmenu->fSupermenu = nullptr;
}

void MenuItem::SetImage(const BitmapImage* image) {
    PLAT_DCHECK_MAIN_THREAD();
    fImage.reset(image);
}

Ref<Menu> Menu::Create(const std::string& title) {
    PLAT_DCHECK_MAIN_THREAD();
    Ref<Menu> menu = Adopt(new Menu);
    menu->fTitle = title;
    return menu;
}

Menu::~Menu() {
    for (const Ref<MenuItem>& item : fItems) item->fMenu = nullptr;
}

MenuItem* Menu::ItemAtIndex(int32_t index) const {
    PLAT_DCHECK_MAIN_THREAD();
    if (index < 0 || index >= NumberOfItems()) return nullptr;
    return fItems[size_t(index)].get();
}

int32_t Menu::IndexOfItem(const MenuItem* item) const {
    PLAT_DCHECK_MAIN_THREAD();
    auto it = std::find(fItems.begin(), fItems.end(), item);
    return it == fItems.end() ? -1 : int32_t(it - fItems.begin());
}

int32_t Menu::IndexOfItemWithSubmenu(const Menu* submenu) const {
    PLAT_DCHECK_MAIN_THREAD();
    if (!submenu) return -1;
    for (size_t i = 0; i < fItems.size(); ++i)
        if (fItems[i]->fSubmenu == submenu) return int32_t(i);
    return -1;
}

Ref<MenuItem> Menu::PopUp(MenuItem* positioned, Point screen, Window*) {
    PLAT_DCHECK_MAIN_THREAD();
    if (positioned && positioned->fMenu != this) positioned = nullptr;
    return MenuTracker::Track(this, positioned, screen);
}

Ref<MenuItem> Menu::PopUpContextMenu(const Event& event, View* view) {
    PLAT_DCHECK_MAIN_THREAD();
    Window* window = view ? view->GetWindow() : nullptr;
    if (!window) window = Application::Shared()->WindowWithNumber(event.windowNumber);
    const Point screen = window ? window->ConvertToScreen(event.location) : event.location;
    return PopUp(nullptr, screen, window);
}

void Menu::Changed() {
    Application* app = Application::Shared();
    if (app->MainMenu() == this) app->MainMenuChanged();
}

void Menu::InsertItem(MenuItem* item, int32_t index) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!item) return;
    Ref<MenuItem> keep(item);
    if (Menu* old = item->fMenu) old->RemoveItemAtIndex(old->IndexOfItem(item));
    index = std::clamp(index, 0, NumberOfItems());
    fItems.insert(fItems.begin() + index, std::move(keep));
    item->fMenu = this;
    Changed();
}

void Menu::RemoveItemAtIndex(int32_t index) {
    PLAT_DCHECK_MAIN_THREAD();
    if (index < 0 || index >= NumberOfItems()) return;
    Ref<MenuItem> item = std::move(fItems[size_t(index)]);
    fItems.erase(fItems.begin() + index);
    item->fMenu = nullptr;
    Changed();
}

void Menu::SetSubmenu(Menu* submenu, MenuItem* item) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!item || item->fSubmenu == submenu) return;
    if (submenu) submenu->fSupermenu = this;
    if (Menu* old = item->fSubmenu.get()) old->fSupermenu = nullptr;
    item->fSubmenu.reset(submenu);
    Changed();
}

bool Menu::PerformKeyEquivalent(const Event& event) {
    PLAT_DCHECK_MAIN_THREAD();
    if (event.type != EventType::kKeyDown || event.charactersIgnoringModifiers.empty()) return false;
    const std::string key = Lower(event.charactersIgnoringModifiers);
    const uint32_t mods = event.modifierFlags & kKeyMaskBits;
    // Snapshot: an action may change the menu.
    std::vector<Ref<MenuItem>> items(fItems);
    for (const Ref<MenuItem>& item : items) {
        if (item->fSeparator) continue;
        if (Menu* sub = item->fSubmenu.get()) {
            if (sub->PerformKeyEquivalent(event)) return true;
            continue;
        }
        if (!item->fEnabled || item->fKey.empty()) continue;
        if (Lower(item->fKey) != key || (item->fKeyMask & kKeyMaskBits) != mods) continue;
        PerformActionForItemAtIndex(IndexOfItem(item.get()));
        return true;
    }
    return false;
}

void Menu::PerformActionForItemAtIndex(int32_t index) {
    PLAT_DCHECK_MAIN_THREAD();
    MenuItem* item = ItemAtIndex(index);
    if (!item || item->fSeparator || item->fSubmenu || item->fAction.empty()) return;
    Ref<MenuItem> keep(item);  // the action may remove the item
    NotificationCenter::Default().Post(kMenuWillSendActionNotification, item);
    MenuTarget* target = item->fTarget ? item->fTarget : Application::Shared();
    if (target->RespondsToAction(item->fAction.c_str())) target->PerformAction(item->fAction.c_str(), item);
    NotificationCenter::Default().Post(kMenuDidSendActionNotification, item);
}

}  // namespace plat
