#pragma once

#include <cstdint>
#include <memory>

#include "Lib3/LSources/CoreData/LHandler.h"
#include "Lib3/LSources/CoreData/LSLinkBase.h"
#include "Lib3/LSources/CoreData/SFieldDesc.h"
#include "Lib3/LSources/CoreData/URsrc.h"
#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/CoreUI/CLRect.h"

class LMenuItem;
class LMenuNative;
class LPane;

// Sent from a menu to its upper handler after an item was added, and as the menu is destroyed.
L_MESSAGE_ID(LMenu_ItemAdded);
L_MESSAGE_ID(LMenu_Destructing);

// A menu: a list of items mirrored into its native part (when the bridge made one). Items bound to
// "LStdCmd_Quit" never enter the native menu; native indices count the others. A menu owns its items.
// Main thread only.
class LMenu : public LHandler, public SSLink {
public:
    static constexpr uint32_t kType = Fcc("TMNU");
    static constexpr uint32_t kBarType = Fcc("TMNB");
    // Submenu resources nest at most this deep; deeper ones (a menu naming itself or an ancestor)
    // are left empty.
    static constexpr uint32_t kMaxDepth = 8;

    // Loads the menu from its 'TMNU' resource in the module (the global chain when null). A missing
    // resource gives an empty menu.
    LMenu(LHandler* upper, const SRsrcRequest& resource, ResourceProvider* module = nullptr,
          uint32_t depth = 0);
    LMenu(LHandler* upper, const LString& title);
    ~LMenu() override;

    LMessage Handle(const LMessage& msg) override;
    // The item corresponding to the native item tag, searching this menu and the submenus of its
    // enabled items.
    virtual LMenuItem* FindNativeItem(int32_t tag);

    const LString& Name() const { return fName; }
    void SetName(const LString& name) { fName = name; }
    const LString& Title() const { return fTitle; }
    // The bar or menu that owns the menu; null until attached.
    LHandler* Parent() const { return fParent; }
    void SetParent(LHandler* parent) { fParent = parent; }
    LMenuNative* Native() const { return fNative.get(); }
    uint32_t FirstIndex() const { return fFirstIndex; }
    void SetFirstIndex(uint32_t index) { fFirstIndex = index; }

    uint32_t ItemCount() const { return fItems.Count(); }
    LMenuItem* ItemAt(uint32_t index) const;
    LMenuItem* FirstItem() const;
    LMenuItem* NextItem(const LMenuItem* item) const;
    int32_t IndexOfItem(const LMenuItem* item) const;
    void AppendItem(LMenuItem* item);
    // After the item at position-1; at the head for 0; appended past the end.
    void InsertItem(LMenuItem* item, uint32_t position);
    // Takes the item out (not deleted).
    void RemoveItem(LMenuItem* item);
    // Deletes the item at index minus the first-index base.
    void RemoveItemAt(uint32_t index);
    void RemoveAllItems();
    // Deletes an owned old submenu of the item at index and attaches a new empty one.
    LMenu* MakeSubmenu(uint32_t index);
    LMenu* FindSubmenu(const LString& name) const;
    // Every item with text, recursively.
    void EnableAllItems();
    // Every item disabled, unmarked, with its base text again, recursively.
    void ResetItemStates();
    // Enables the items bound to the command, recursively, and the items opening a submenu that
    // holds one (a disabled opener cannot be opened). True when any was bound.
    bool EnableCommand(const char* command);
    // Refreshes each native item from its framework item.
    void SyncToNative();

    // Whether the item has a place in the native menu.
    static bool IsNative(const LMenuItem* item);

    // Pops the menu up at the pointer over the pane's window; readies it for the pane's chain and,
    // with send, sends the chosen item's "LMenuItem_Selected" to the pane. The chosen item, or null.
    static LMenuItem* PopupContextMenu(LPane* owner, LMenu* menu, bool send);
    // Pops the menu up below a rectangle (screen coordinates, its top-left at the rectangle's
    // bottom-left), readied for the pane's chain; nothing is sent. The chosen item, or null.
    static LMenuItem* PopupMenuAt(LPane* owner, LMenu* menu, const CLRect& screenRect);

    // All menus alive.
    static uint32_t LiveCount();
    // Changes whenever an item joins or leaves a menu, a menu a bar, or an item's commands or
    // submenu change (bars keep indexes of their commands).
    static uint64_t Generation();
    static void Touch();

private:
    void LoadItems(const SRsrcRequest& resource, ResourceProvider* module, uint32_t depth);
    // The native index of the item (items before it that are native, plus the base).
    uint32_t NativeIndex(const LMenuItem* item) const;
    void Register();

    uint32_t fFirstIndex = 0;
    std::unique_ptr<LMenuNative> fNative;
    LString fName;
    LString fTitle;
    LHandler* fParent = nullptr;
    LSLinkBase fItems;
};
