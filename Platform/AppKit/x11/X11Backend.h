#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "Platform/AppKit/Backend.h"
#include "Platform/AppKit/Cursor.h"
#include "Platform/Foundation/Geometry.h"

typedef struct _XDisplay Display;

namespace plat {
class FdSource;
class RunLoopSource;
}  // namespace plat

namespace plat::x11 {

class X11HotKeys;

// The window system over an X server: one top-level X window per window at its content rectangle,
// the default screen (its work area as the visible frame), the pointer, and the server's input
// turned into events posted to the application. Main thread only.
class X11Backend : public Backend {
public:
    // Connects to the named display (null: $DISPLAY); null when no server answers.
    static std::unique_ptr<X11Backend> Open(const char* displayName = nullptr);
    ~X11Backend() override;

    const char* Name() const override { return "x11"; }
    [[nodiscard]] bool Start() override;
    void Stop() override;
    std::vector<Screen> Screens() const override;
    Point MouseLocation() const override;
    uint32_t ModifierFlags() const override;
    void WindowChanged(Window* window, WindowChange change) override;
    void Beep() override;
    // From the server's keyboard auto-repeat rate (the defaults when it has none).
    int32_t KeyRepeatDelayTicks() const override;
    int32_t KeyRepeatIntervalTicks() const override;
    // Kept for the window system to show (Xcursor comes later); the desktop's double-click setting is
    // not read yet.
    void SetCursor(const Cursor* cursor) override;
    const Cursor* CurrentCursor() const { return fCursor.get(); }
    // Grabs on the root window, made on first use.
    HotKeys* GlobalHotKeys() override;

    ::Display* XDisplay() const { return fDisplay; }
    // The X window of a window, 0 when it has none.
    unsigned long XWindowOf(const Window* window) const;
    // Reads every event the server sent and posts what the application must see.
    void Pump();

private:
    explicit X11Backend(::Display* display);

    void Create(Window* window);
    void Destroy(Window* window);
    void StoreTitle(unsigned long xwindow, const std::string& title);
    void Restack();
    void ApplyServerGeometry(Window* window, unsigned long xwindow);
    Window* WindowOf(unsigned long xwindow) const;
    // Events may wait in Xlib's queue after any round trip: pump them from the run loop soon.
    void SchedulePump() const;
    static void Readable(FdSource* source, int fd, uint32_t ready, void* self);
    static void PumpPerform(void* self);

    ::Display* fDisplay;
    unsigned long fDeleteAtom = 0;
    unsigned long fNameAtom = 0;
    unsigned long fUtf8Atom = 0;
    Ref<FdSource> fSource;
    Ref<RunLoopSource> fPump;
    std::unordered_map<unsigned long, Window*> fWindows;  // not retained
    bool fApplyingServerFrame = false;
    // The content size last asked of the server per window: other sizes it reports are the user's.
    std::unordered_map<unsigned long, Size> fAskedSizes;
    Ref<const Cursor> fCursor;
    std::unique_ptr<X11HotKeys> fHotKeys;
};

}  // namespace plat::x11
