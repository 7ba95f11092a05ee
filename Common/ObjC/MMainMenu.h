#pragma once

namespace plat {
struct Event;
}

// The main menu's key-equivalent entry: every key-down is offered here before the key window. The
// framework first readies its menu bar for the current focus, then asks each top-level menu.
class MMainMenu {
public:
    // True when a menu took the key.
    static bool PerformKeyEquivalent(const plat::Event& event);

    // The menus' own lookup, installed by the menu bridge; none: no menu takes keys.
    using Lookup = bool (*)(const plat::Event& event);
    static void SetLookup(Lookup lookup);
};
