#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Platform/AppKit/Screen.h"
#include "Platform/Foundation/Geometry.h"
#include "Platform/Foundation/Object.h"

namespace plat {

class BitmapImage;
class Cursor;
class DrawContext;
class GLPixelFormat;
class GLSurface;
class HotKeys;
class Window;

// What a window-system backend supplies to the application object: displays, the pointer, and the
// native side of windows. Window order, key state and event dispatch live in Application and Window,
// the same for every backend; a backend feeds its native input in through Application::PostEvent.
class Backend {
public:
    enum WindowChange : uint32_t {
        kCreated,
        kOrdered,  // shown, hidden or restacked
        kFrame,
        kTitle,
        kStyle,
        kNeedsDisplay,
        kDestroyed,
    };

    virtual ~Backend() = default;
    virtual const char* Name() const = 0;
    // Main thread, before launching: adds the backend's run-loop sources.
    [[nodiscard]] virtual bool Start() { return true; }
    // Main thread, after termination.
    virtual void Stop() {}
    // The window system went away: the application ends without asking (Run answers 1).
    virtual bool ConnectionLost() const { return false; }

    virtual std::vector<Screen> Screens() const = 0;
    // Pixels per point of windows and their backing stores (an integer, 1 unless the display is dense).
    virtual double BackingScale() const { return 1; }
    virtual Point MouseLocation() const = 0;
    virtual uint32_t ModifierFlags() const = 0;
    virtual void WindowChanged(Window* window, WindowChange change) = 0;
    virtual void Beep() {}
    // Shows the cursor over the application's windows (null: the arrow).
    virtual void SetCursor(const Cursor* /*cursor*/) {}
    // The icon the window system shows for every window of the application (null: none).
    virtual void SetApplicationIcon(const BitmapImage* /*image*/) {}
    // The image of a running drag: shown with its top-left at a screen point, moved, hidden (sliding
    // back to where it started after a refused drop).
    virtual void ShowDragImage(const BitmapImage* /*image*/, Point /*screen*/) {}
    virtual void MoveDragImage(Point /*screen*/) {}
    virtual void HideDragImage(bool /*slideBack*/) {}
    // The application's window shown at a screen point as the window system stacks every program's
    // windows: true with *window that window, or null when another program's window or none is
    // there; false when the backend knows no more than the application's own order.
    virtual bool WindowAt(Point /*screen*/, Window** /*window*/) { return false; }
    // Seconds within which a second press counts as a double click.
    virtual double DoubleClickInterval() const { return 0.5; }
    // Key-repeat thresholds in ticks of 1/60 s: the delay before the first repeat and between repeats.
    virtual int32_t KeyRepeatDelayTicks() const { return 15; }
    virtual int32_t KeyRepeatIntervalTicks() const { return 2; }
    // The GL surface of a window's content (an owned reference), or null. Unless the backend can
    // draw into its windows, an offscreen surface of that size at the backing scale.
    // The image a window's draw passes paint into, width × height pixels (a Cairo image surface
    // whatever the backend, so every backend holds the same pixels).
    virtual Ref<DrawContext> CreateBackingStore(Window* window, int32_t width, int32_t height);
    // After a draw pass: the area of the window that changed (content coordinates; y below 0 is the
    // menu strip) is shown from its backing store.
    virtual void PresentWindow(Window* /*window*/, const Rect& /*damage*/) {}
    virtual Ref<GLSurface> CreateGLSurface(Window* window, GLPixelFormat* format, int32_t width,
                                           int32_t height);
    // System-wide hot keys (owned by the backend), null when the window system has none.
    virtual HotKeys* GlobalHotKeys() { return nullptr; }
};

// The installed backend (not owned), null when none.
Backend* CurrentBackend();
// The installed backend's scale, 1 without one.
double CurrentBackingScale();
void SetBackend(Backend* backend);

// "x11" or "headless": ORBILUME_PLATFORM when set, else x11 when DISPLAY is set, else headless.
const char* BackendNameFromEnvironment();
// Makes the backend the environment asks for, falling back to headless when that one cannot start.
std::unique_ptr<Backend> MakeBackendFromEnvironment();

}  // namespace plat
