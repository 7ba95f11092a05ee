#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Platform/Foundation/Geometry.h"
#include "Platform/Foundation/Object.h"

namespace plat {

struct Event;
class BitmapImage;
class Menu;
class MenuItem;
class View;
class Window;

// Posted to the default notification centre before and after a menu item sends its action (object:
// the item), and before a menu of the menu bar opens (object: the main menu).
inline constexpr const char* kMenuWillSendActionNotification = "MenuWillSendAction";
inline constexpr const char* kMenuDidSendActionNotification = "MenuDidSendAction";
inline constexpr const char* kMenuDidBeginTrackingNotification = "MenuDidBeginTracking";

// Standard actions (selector names).
inline constexpr const char* kTerminateAction = "terminate:";
inline constexpr const char* kShowHelpAction = "showHelp:";

// An object that menu items send their actions to.
class MenuTarget {
public:
    virtual ~MenuTarget() = default;
    virtual bool RespondsToAction(const char* /*action*/) const { return false; }
    virtual void PerformAction(const char* /*action*/, MenuItem* /*sender*/) {}
    // 1 enabled, 0 disabled, -1 the target does not validate items.
    virtual int ValidateMenuItem(const MenuItem* /*item*/) { return -1; }
    // Asked of the "changeFont:" target when the font panel shows: the parts it wants (FontPanel's
    // mode bits), all by default.
    virtual uint32_t ValidModesForFontPanel() const { return 0xFFFFFFFFu; }
};

// One entry of a menu: a titled item with an action, key equivalent, state and image, or a separator.
// Main thread only.
class MenuItem : public Object {
public:
    // An empty action sends nothing.
    static Ref<MenuItem> Create(const std::string& title, const char* action,
                                const std::string& keyEquivalent);
    static Ref<MenuItem> Separator();

    bool IsSeparator() const { return fSeparator; }
    const std::string& Title() const { return fTitle; }
    void SetTitle(const std::string& title) { fTitle = title; }
    const std::string& Action() const { return fAction; }
    void SetAction(const char* action) { fAction = action ? action : ""; }
    // Not retained; null sends the action to the application.
    MenuTarget* Target() const { return fTarget; }
    void SetTarget(MenuTarget* target) { fTarget = target; }
    const std::string& KeyEquivalent() const { return fKey; }
    void SetKeyEquivalent(const std::string& key) { fKey = key; }
    // Modifier flag bits of Event (command, shift, option, control).
    uint32_t KeyEquivalentModifierMask() const { return fKeyMask; }
    void SetKeyEquivalentModifierMask(uint32_t mask) { fKeyMask = mask; }
    bool IsEnabled() const { return fEnabled; }
    void SetEnabled(bool enabled) { fEnabled = enabled; }
    // The owner's number for the item (0 unless set).
    int32_t Tag() const { return fTag; }
    void SetTag(int32_t tag) { fTag = tag; }
    // 0 off, 1 on.
    int State() const { return fState; }
    void SetState(int state) { fState = state; }
    const BitmapImage* Image() const { return fImage.get(); }
    void SetImage(const BitmapImage* image);

    Menu* Submenu() const { return fSubmenu.get(); }
    bool HasSubmenu() const { return fSubmenu != nullptr; }
    // The menu holding the item (not retained), null when none.
    Menu* ParentMenu() const { return fMenu; }

private:
    friend class Menu;
    MenuItem() = default;
    ~MenuItem() override;

    bool fSeparator = false;
    std::string fTitle;
    std::string fAction;
    MenuTarget* fTarget = nullptr;
    std::string fKey;
    uint32_t fKeyMask = 0;
    bool fEnabled = true;
    int32_t fTag = 0;
    int fState = 0;
    Ref<const BitmapImage> fImage;
    Ref<Menu> fSubmenu;
    Menu* fMenu = nullptr;
};

// A list of menu items; items are retained by the menu, a submenu by its item. Main thread only.
class Menu : public Object {
public:
    static Ref<Menu> Create(const std::string& title);

    const std::string& Title() const { return fTitle; }
    void SetTitle(const std::string& title) { fTitle = title; }
    bool AutoenablesItems() const { return fAutoenables; }
    void SetAutoenablesItems(bool autoenables) { fAutoenables = autoenables; }

    int32_t NumberOfItems() const { return int32_t(fItems.size()); }
    // Null out of range.
    MenuItem* ItemAtIndex(int32_t index) const;
    // -1 when not found.
    int32_t IndexOfItem(const MenuItem* item) const;
    int32_t IndexOfItemWithSubmenu(const Menu* submenu) const;
    // The index is clamped into 0..count; an item in another menu is moved here.
    void InsertItem(MenuItem* item, int32_t index);
    void AddItem(MenuItem* item) { InsertItem(item, NumberOfItems()); }
    void RemoveItemAtIndex(int32_t index);
    void SetSubmenu(Menu* submenu, MenuItem* item);
    // The menu whose item holds this one as its submenu, or null.
    Menu* Supermenu() const { return fSupermenu; }

    // The first enabled item (here or in a submenu) whose key equivalent and modifiers match the key
    // event performs its action; false when none matches.
    bool PerformKeyEquivalent(const Event& event);
    // Posts kMenuWillSendActionNotification, sends the item's action (to its target, else to the
    // application) and posts kMenuDidSendActionNotification. Nothing for separators, items with a
    // submenu or without action.
    void PerformActionForItemAtIndex(int32_t index);

    // Shows the menu in a pop-up window (the item's row under the screen point, or the menu's top-left
    // there when null) and tracks it until a choice or a dismissal; the chosen item's action is sent.
    // The chosen item, or null. `window` is the window it pops up over (may be null).
    Ref<MenuItem> PopUp(MenuItem* positioned, Point screen, Window* window);
    // The same at the location of a context press in the view's window.
    Ref<MenuItem> PopUpContextMenu(const Event& event, View* view);

    // Data of the menu's owner (not retained).
    void* Owner() const { return fOwner; }
    void SetOwner(void* owner) { fOwner = owner; }

private:
    friend class MenuItem;
    Menu() = default;
    // Tells the application when the main menu's items change (its strips draw again).
    void Changed();
    ~Menu() override;

    std::string fTitle;
    bool fAutoenables = true;
    std::vector<Ref<MenuItem>> fItems;
    Menu* fSupermenu = nullptr;
    void* fOwner = nullptr;
};

}  // namespace plat
