#pragma once

#include "Lib3/LSources/CoreUI/CLRect.h"

class LHandleBase;
class LWindow;
namespace plat {
class Window;
}

// What the portable window code (LWindow, the window placer) needs of the window system: native
// windows made and forgotten, window geometry and the front-to-back order, in global coordinates
// (integers, origin at the top-left of the first screen). The native bridge implements it and installs
// its instance (CMacWindowMgr); with none installed windows get no native window. Main thread only.
class LWindowServices {
public:
    virtual ~LWindowServices() = default;

    // The installed services, null when none.
    static LWindowServices* Get();
    // Installs the services (not owned); null removes them.
    static void Install(LWindowServices* services);

    // A new native window for the window (count 1 for the caller), or null. kindObject is the window
    // kind object the window was made with (a handle the bridge filled; empty: no window).
    virtual plat::Window* CreateNativeWindow(LWindow* window, const LHandleBase& kindObject) = 0;
    virtual void ForgetNativeWindow(LWindow* window) = 0;

    // Empty without a native window.
    virtual CLRect ContentRect(const LWindow* window) const = 0;
    virtual CLRect FrameRect(const LWindow* window) const = 0;
    virtual void SetContentRect(LWindow* window, const CLRect& content) = 0;
    // The frame of a content rectangle; the rectangle itself without a native window.
    virtual CLRect FrameForContent(const LWindow* window, const CLRect& content) const = 0;
    // Union of every screen's visible frame.
    virtual CLRect ScreensUnion() const = 0;
    // Visible framework windows front to back, after the given one (null: the frontmost).
    virtual LWindow* NextVisibleWindow(LWindow* after) = 0;
};
