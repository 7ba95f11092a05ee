#pragma once

#include <cstdint>
#include <vector>

#include "Lib3/LSources/CoreString/LString.h"
#include "Platform/Foundation/Object.h"

class LHandler;
namespace plat {
class BitmapImage;
class Menu;
class MenuItem;
}  // namespace plat

class CMacMenuBridge;

// What the bridge mirrors of one framework menu item.
struct SMacMenuItem {
    LHandler* item = nullptr;  // the framework item: sender of "LMenuItem_Selected"
    LString title;             // empty: a separator
    LString command;           // the item's first command id
    bool enabled = true;
    bool checked = false;
    char key = 0;  // key equivalent character, 0 for none
    // Bit 7: no key equivalent; else command, plus shift (bit 0), option (bit 1), control (bit 2);
    // bit 3 removes command.
    uint8_t modifiers = 0;
    const plat::BitmapImage* image = nullptr;
    CMacMenuBridge* submenu = nullptr;
};

// The native side of one framework menu: a native menu kept in step with the framework's items,
// installed in and removed from the menu bar (the main menu's top-level items). The menu titled
// with the single character 0x14 is the application menu: it takes over the main menu's first
// submenu, with the application's name put into its titles. Main thread only.
class CMacMenuBridge {
public:
    static constexpr char kAppMenuTitle = 0x14;

    explicit CMacMenuBridge(const LString& title);
    ~CMacMenuBridge();
    CMacMenuBridge(const CMacMenuBridge&) = delete;
    CMacMenuBridge& operator=(const CMacMenuBridge&) = delete;

    plat::Menu* NativeMenu() const { return fMenu.get(); }
    // The bridge of a native menu, or null.
    static CMacMenuBridge* ForMenu(const plat::Menu* menu);
    // The bundle's display name, else its name, else "App".
    static LString ApplicationName();

    void InsertItem(uint32_t index, const SMacMenuItem& item);
    void RemoveItem(uint32_t index);
    // Nothing when the index is out of range.
    void UpdateItem(uint32_t index, const SMacMenuItem& item);
    // The framework item at the native item's index among the menu's own items, or null.
    LHandler* ItemFor(const plat::MenuItem* native) const;
    // Enables the native items after the menu's own ones (added by the system) by asking their
    // targets.
    void ValidateForeignItems() const;

    // Inserts the menu in the menu bar before the menu of `before`; at the end when that is null or
    // not in the bar.
    void InstallInMenuBar(const CMacMenuBridge* before);
    void RemoveFromMenuBar();

private:
    plat::Ref<plat::Menu> fMenu;
    std::vector<LHandler*> fItems;  // the framework items, in native order
};
