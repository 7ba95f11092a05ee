#pragma once

#include <cstdint>

#include "Common/Rgn/CRgn.h"
#include "Lib3/LSources/CoreUI/CLRect.h"
#include "Platform/Foundation/Object.h"

class LHandleBase;
class LWindow;
namespace plat {
class DrawContext;
class Window;
}  // namespace plat

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

    // A new native window for the window, or null. kindObject is the window
    // kind object the window was made with (a handle the bridge filled; empty: no window).
    virtual plat::Ref<plat::Window> CreateNativeWindow(LWindow* window, const LHandleBase& kindObject) = 0;
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

    // Window operations of frames; without a native window they do nothing or answer false.
    virtual bool IsVisible(const LWindow*) const { return false; }
    virtual bool IsClosable(const LWindow*) const { return false; }
    virtual bool IsResizable(const LWindow*) const { return false; }
    virtual void Show(LWindow*) {}
    virtual void ShowBehind(LWindow*) {}
    virtual void Hide(LWindow*) {}
    // Windows of kind 2 only.
    virtual void MakeKey(LWindow*) {}
    virtual bool IsKey(const LWindow*) const { return false; }
    virtual void DisplayNow(LWindow*) {}
    // Marks an area of the content (content coordinates) as needing display.
    virtual void InvalidateRect(LWindow*, const CLRect&) {}
    virtual void SetTitle(LWindow*, const char*) {}
    // The framework window whose content lies under a global point (windows that ignore the mouse are
    // skipped), or null.
    virtual LWindow* WindowAt(CLPoint) { return nullptr; }
    // The draw pass of the window running now: its context and the area being drawn (content
    // coordinates); false outside a pass of that window.
    virtual bool DrawingOf(LWindow*, plat::DrawContext** native, CRgn* area) {
        (void)native;
        (void)area;
        return false;
    }
    // The arrow cursor.
    virtual void SetArrowCursor() {}

    // The frontmost visible window of the kind, or null.
    LWindow* FrontWindowOfKind(uint32_t kind);
};
