#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Lib3/LSources/CoreUI/CLRect.h"
#include "Lib3/LSources/CoreUI/LWindowServices.h"
#include "Platform/Foundation/Geometry.h"

class CMacMainLoopUI;
class LHandler;
class LWindow;
namespace plat {
class Window;
}

// The window system as the portable window code sees it: creates, shows, orders, hides and forgets
// native windows, keeps a cached front-to-back list of the application's window numbers, and answers
// window and screen geometry in global coordinates (integers, origin at the top-left of the first
// screen). One instance, made by the application bootstrap, which it installs as the window services
// of the portable window code. Main thread only.
class CMacWindowMgr : public LWindowServices {
public:
    CMacWindowMgr();
    ~CMacWindowMgr() override;

    // The instance, null before the bootstrap made it.
    static CMacWindowMgr* Get();

    // A new native window from the kind object, a CMacWindowKindH (count 1 for the caller), or null.
    plat::Ref<plat::Window> CreateNativeWindow(LWindow* window, const LHandleBase& kindObject) override;
    void ForgetNativeWindow(LWindow* window) override;
    void Show(LWindow* window) override;
    void ShowBehind(LWindow* window) override;
    void Hide(LWindow* window) override;
    void OrderBelow(LWindow* window, LWindow* other);

    // The sender of "CViewPrefs_Changed" before a window first appears (none: not sent).
    static void SetViewPrefs(LHandler* viewPrefs);

    // Window-number cache.
    const std::vector<int64_t>& WindowNumbers();
    void EmptyCache() { mNumbers.clear(); }
    // The window order changed: empties the cache and lets held timers be reconsidered.
    void OrderChanged();
    plat::Window* FirstNativeWindow();
    plat::Window* NextNativeWindow(plat::Window* after);
    // Waits (at most a second, running the event loop) until the window server lists the window.
    void WaitUntilListed(plat::Window* native);

    // Framework windows front to back.
    LWindow* NextVisibleWindow(LWindow* after) override;
    LWindow* WindowAt(CLPoint global) override;

    // Geometry in global coordinates; empty without a native window.
    CLRect ContentRect(const LWindow* window) const override;
    CLRect FrameRect(const LWindow* window) const override;
    void SetContentRect(LWindow* window, const CLRect& content) override;
    // The frame of a content rectangle; the rectangle itself without a native window.
    CLRect FrameForContent(const LWindow* window, const CLRect& content) const override;
    bool IsVisible(const LWindow* window) const override;
    bool IsClosable(const LWindow* window) const override;
    bool IsResizable(const LWindow* window) const override;
    void MakeKey(LWindow* window) override;
    bool IsKey(const LWindow* window) const override;
    void DisplayNow(LWindow* window) override;
    void InvalidateRect(LWindow* window, const CLRect& contentArea) override;
    void SetTitle(LWindow* window, const char* title) override;
    bool DrawingOf(LWindow* window, plat::DrawContext** native, CRgn* area) override;
    void SetArrowCursor() override;
    // Sets or clears resizability (the style's resizable bit).
    void SetResizable(LWindow* window, bool resizable);
    // The framework window that is key, or null.
    LWindow* KeyWindow();

    // Union of every screen's visible frame; bounds of the main (first) display.
    CLRect ScreensUnion() const override;
    CLRect MainDisplayBounds() const;
    // Bounds of the display that the rectangle overlaps most (the main display when it overlaps
    // none); empty without displays.
    CLRect DisplayOverlapping(const CLRect& r) const;
    // Union of the displays' bounds, with or without the main display (empty when nothing is left).
    CLRect DisplaysUnion(bool withMain) const;
    bool HasSecondDisplay() const;

private:
    static void WindowListMayChange(const char* name, const void* object, void* self);
    bool Listed(int64_t number);

    std::vector<int64_t> mNumbers;        // empty: read again
    std::unique_ptr<CMacMainLoopUI> mUI;  // installed unless another was
};
