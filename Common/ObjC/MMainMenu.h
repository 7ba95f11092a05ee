#pragma once

#include "Platform/Foundation/Object.h"

namespace plat {
struct Event;
class Menu;
}

// The main menu's key-equivalent entry: every key-down is offered here before the key window. The
// framework first readies its menu bar for the current focus, then asks the submenu of each
// top-level item of the main menu in order.
class MMainMenu {
public:
    // True when a menu took the key.
    static bool PerformKeyEquivalent(const plat::Event& event);
    // The main menu the application starts with: an application menu ("%0", the name put in by the
    // menu bridge) holding "Quit %0" (Command-Q, "terminate:").
    static void InstallDefault();
    // That application menu alone.
    static plat::Ref<plat::Menu> NewApplicationMenu();

    // The menus' own lookup, installed by the menu bridge; none: no menu takes keys.
    using Lookup = bool (*)(const plat::Event& event);
    static void SetLookup(Lookup lookup);
};
