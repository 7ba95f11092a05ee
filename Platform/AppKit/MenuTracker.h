#pragma once

#include <cstdint>

#include "Platform/Foundation/Geometry.h"
#include "Platform/Foundation/Object.h"

namespace plat {

class Menu;
class MenuItem;

// What the in-window menu strip lends a tracking run: its titles, between which the pointer and
// Left/Right switch menus.
class MenuTrackingHost {
public:
    virtual ~MenuTrackingHost() = default;
    virtual int32_t TitleCount() const = 0;
    // The title under a screen point, or -1.
    virtual int32_t TitleAtScreen(Point screen) const = 0;
    // Highlights the title and answers its menu (after "MenuDidBeginTracking") and the screen point
    // its top-left goes to; null when it has none.
    virtual Menu* OpenTitle(int32_t index, Point* origin) = 0;
    // No title is open any more.
    virtual void TrackingEnded() = 0;
};

// Window level of pop-up menus: above every other window.
inline constexpr int32_t kPopUpMenuWindowLevel = 101;

// Shows a menu in a borderless pop-up window and runs a tracking loop in the event-tracking mode
// until a choice or a dismissal (a press outside, Escape, the application deactivating or asked to
// terminate). Submenus cascade; separators and disabled items cannot be chosen; Up/Down/Left/Right
// move, Return and Space choose. The chosen item's action is sent (its menu's
// PerformActionForItemAtIndex) before the answer. Main thread only.
class MenuTracker {
public:
    // The menu's top-left at the screen point, or the positioned item's row under it. With a host,
    // `title` is the open title. selectFirst highlights the first selectable item (keyboard opening).
    static Ref<MenuItem> Track(Menu* menu, MenuItem* positioned, Point screen,
                               MenuTrackingHost* host = nullptr, int32_t title = -1,
                               bool selectFirst = false);
    static bool IsTracking();
    // Pop-up windows shown now, outermost first (tests read their pixels).
    static int32_t OpenWindowCount();
    static class Window* OpenWindow(int32_t index);
};

}  // namespace plat
