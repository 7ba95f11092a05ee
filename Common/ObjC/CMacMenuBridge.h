#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/CoreUI/LMenuNative.h"
#include "Platform/Foundation/Object.h"

class LMenu;
class LMenuItem;
namespace plat {
class Menu;
class MenuItem;
}  // namespace plat

// The native side of one framework menu: a native menu kept in step with the menu's items,
// installed in and removed from the menu bar (the main menu's top-level items). Native items carry
// their framework item's tag, by which a choice maps back. The menu titled with the single character
// 0x14 is the application menu: it takes over the main menu's first submenu, with the application's
// name put into its titles. Main thread only.
class CMacMenuBridge : public LMenuNative {
public:
    static constexpr char kAppMenuTitle = 0x14;

    explicit CMacMenuBridge(const LString& title);
    ~CMacMenuBridge() override;
    CMacMenuBridge(const CMacMenuBridge&) = delete;
    CMacMenuBridge& operator=(const CMacMenuBridge&) = delete;

    // Makes every framework menu made from now on get a bridge (null: none).
    static void InstallFactory(bool install);

    plat::Menu* NativeMenu() const { return fMenu.get(); }
    // The bridge of a native menu, or null.
    static CMacMenuBridge* ForMenu(const plat::Menu* menu);
    // The native menu of a framework menu, or null.
    static plat::Menu* NativeMenuOf(const LMenu* menu);
    // The bundle's display name, else its name, else "App".
    static LString ApplicationName();

    void InsertItem(uint32_t index, LMenuItem* item) override;
    void RemoveItem(uint32_t index) override;
    void UpdateItem(uint32_t index, LMenuItem* item) override;
    void InstallInMenuBar(const LMenuNative* before) override;
    void RemoveFromMenuBar() override;

    // How many native items belong to the framework menu (the first ones).
    uint32_t OwnItemCount() const { return fOwn; }
    // Enables the native items after the menu's own ones (added by the system) by asking their
    // targets.
    void ValidateForeignItems() const;
    // The modifier mask of a bridge modifier byte: bit 7 no key (command only); else command, plus
    // shift (bit 0), option (bit 1), control (bit 2); bit 3 removes command.
    static uint32_t ModifierMask(uint32_t modifiers);

private:
    LString Title(const LMenuItem* item) const;

    plat::Ref<plat::Menu> fMenu;
    LString fAppName;  // the application menu's: put into its items' titles
    uint32_t fOwn = 0;
};
