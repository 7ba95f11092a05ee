#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "Lib3/LSources/CoreData/LHandler.h"
#include "Lib3/LSources/CoreData/LSLinkBase.h"
#include "Lib3/LSources/CoreData/LTimer.h"
#include "Lib3/LSources/CoreData/URsrc.h"
#include "Lib3/LSources/CoreString/LString.h"

class LMenu;
class LMenuItem;

// The readiness pass (menu bar to the focus target) and the coalesced notice of additions (menu bar
// to its upper handler).
L_MESSAGE_ID(LMenuBar_Ready);
L_MESSAGE_ID(LMenuBar_Added);

// A list of menus. The first bar made becomes the main menu bar, whose menus are installed in the
// native menu bar. Handlers enable and check commands on the bar during "LMenuBar_Ready"; when the
// pass comes back, every menu is synchronised to its native part. Main thread only.
class LMenuBar : public LHandler, public SSLink {
public:
    using ItemFunction = void (*)(void* context, LMenuItem* item);

    // Loads the menus named in the 'TMNB' resource from the module.
    LMenuBar(LHandler* upper, const SRsrcRequest& names, ResourceProvider* module = nullptr);
    explicit LMenuBar(LHandler* upper);
    ~LMenuBar() override;

    static LMenuBar* Main();
    static void WithMainMenuBar(void* context, void (*function)(void* context, LMenuBar* bar));
    bool IsMain() const { return Main() == this; }

    LMessage Handle(const LMessage& msg) override;

    LMenu* FirstMenu() const;
    LMenu* NextMenu(const LMenu* menu) const;
    uint32_t MenuCount() const { return fMenus.Count(); }
    bool Contains(const LMenu* menu) const;

    // Appends; the main bar installs the menu's native part at the end.
    void AddMenu(LMenu* menu, int32_t index);
    // Sets the parent when unset, then AddMenu(menu, -1).
    void AppendMenu(LMenu* menu);
    // Appends to the list; the main bar installs the native part before that of `before` (at the end
    // when null or not installed).
    void InsertMenuBefore(LMenu* menu, LMenu* before);
    void RemoveMenu(LMenu* menu);
    // Puts replacement where old stands, in the list and natively; old keeps its parent.
    void ReplaceMenu(LMenu* old, LMenu* replacement);

    void ResetItemStates();
    // Items bound to the command and not yet enabled: enabled unless keepDisabled, their text
    // replaced by a non-empty new text.
    void EnableCommand(const char* command, const char* newText = nullptr, bool keepDisabled = false);
    // Marks the items bound to the command whose text equals `text` (all of them for an empty text);
    // true when any was marked.
    bool CheckCommand(const char* command, const char* text = nullptr);
    LMenu* FindMenu(const LString& name) const;
    bool FindMenuPosition(const LMenu* menu, LMenu** parent, int32_t* index) const;

    // The first enabled item without submenu bound to the command / with the key spec / for the
    // native tag. With a command target set the item's "LMenuItem_Selected" goes there and the
    // answer is null; else the item.
    LMenuItem* SelectCommand(const char* command);
    LMenuItem* SelectItemByKey(const char* spec);
    LMenuItem* SelectNativeItem(int32_t tag);
    // The items in the same order, without selecting.
    LMenuItem* FindCommand(const char* command) const;
    LMenuItem* FindItemByKey(const char* spec) const;
    LMenuItem* FindNativeItem(int32_t tag) const;

    void ForEachItem(ItemFunction function, void* context) const;
    void SyncToNative();

    // A handler that receives every selection made through the Select operations; null clears.
    static void SetCommandTarget(LHandler* handler);
    static LHandler* CommandTarget();
    // A menu being destroyed leaves every bar that holds it.
    static void MenuDestroyed(LMenu* menu);

protected:
    // A bar that never becomes the main bar (temporary bars of pop-up menus).
    struct Private {};
    LMenuBar(LHandler* upper, Private);

    LSLinkBase fMenus;

private:
    LMenuItem* Select(LMenuItem* item);
    // The items bound to a command, from the index (rebuilt after any change to the menus).
    const std::vector<LMenuItem*>* ItemsFor(const char* command);

    LTimer fTimer;
    std::unordered_map<std::string, std::vector<LMenuItem*>> fIndex;
    uint64_t fIndexGeneration = 0;
};

// A window's menu group: its menus join the main bar while the window is active.
class LOwningMenuBar : public LMenuBar {
public:
    LOwningMenuBar(LHandler* upper, const SRsrcRequest& names, ResourceProvider* module = nullptr);
    explicit LOwningMenuBar(LHandler* upper);
    ~LOwningMenuBar() override;

    // Moves the group's menus into the main bar before "WINDOW" (else "HELP", else at the end); a menu
    // named like one of the main bar's own stands in its place while lent, so a group that repeats the
    // main bar's menus shows each once. Another group in the main bar is taken out first.
    void InsertIntoMain();
    // Takes them back, last first, restoring the group's order.
    void RemoveFromMain();
    uint32_t LentCount() const { return uint32_t(fLent.size()); }

    LMessage Handle(const LMessage& msg) override;

private:
    struct Shadowed {
        LMenu* lent;
        LMenu* own;  // the main bar's menu it stands in for
        LHandler* ownParent;
        LHandler* ownUpper;
    };
    LMenu* TakeShadowed(LMenu* lent);

    std::vector<LMenu*> fLent;
    // Kept in the group's list while shadowed, owned by the group, so they die with it if the main
    // bar goes first.
    std::vector<Shadowed> fShadowed;
};

// A bar made for one pop-up: never the main bar, so nothing enters the native menu bar.
class LPopupMenuBar : public LMenuBar {
public:
    explicit LPopupMenuBar(LHandler* upper) : LMenuBar(upper, Private{}) {}
};
