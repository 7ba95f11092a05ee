#pragma once

#include <string>
#include <vector>

#include "Platform/Foundation/Object.h"

class LMenuBar;
namespace plat {
class Menu;
class MenuItem;
}  // namespace plat

// While a file panel runs, the Edit menu's Undo, Redo, Cut, Copy, Paste and Delete items send the
// standard responder actions (undo:, redo:, cut:, copy:, paste:, delete:) so that the panel's text
// fields take them; the native menu enables its items itself meanwhile. The native item of each
// command is found by its framework item's tag (items the native menu lacks, or holds in another
// order, are no matter). The destructor restores every action and the enabling setting. Main thread.
class CEditMenuBridge {
public:
    // The menu "EDIT" of the bar (the main menu bar when null); nothing without it.
    explicit CEditMenuBridge(LMenuBar* bar = nullptr);
    ~CEditMenuBridge();
    CEditMenuBridge(const CEditMenuBridge&) = delete;
    CEditMenuBridge& operator=(const CEditMenuBridge&) = delete;

    // How many items were rebound.
    size_t BoundCount() const { return mSaved.size(); }

private:
    struct Saved {
        plat::Ref<plat::MenuItem> item;
        std::string action;
    };
    plat::Ref<plat::Menu> mMenu;
    bool mAutoenables = false;
    std::vector<Saved> mSaved;
};
