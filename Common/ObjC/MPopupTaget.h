#pragma once

#include <cstdint>

namespace plat {
class MenuItem;
}

// Watches the menu's will-send-action notice during a context pop-up and keeps the item about to
// send its action, unless it holds a submenu (not retained). LMenu::PopupContextMenu, defined with it,
// pops a framework menu up over a pane. Main thread only.
class MPopupTaget {
public:
    MPopupTaget();
    ~MPopupTaget();
    MPopupTaget(const MPopupTaget&) = delete;
    MPopupTaget& operator=(const MPopupTaget&) = delete;

    const plat::MenuItem* Chosen() const { return fChosen; }
    // The chosen native item's tag, -1 when none.
    int32_t ChosenTag() const;

private:
    static void MenuAction(const char* name, const void* item, void* self);

    const plat::MenuItem* fChosen = nullptr;
};
