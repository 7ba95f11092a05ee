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
union _XEvent;

namespace plat {
class FdSource;
class RunLoopSource;
}  // namespace plat

namespace plat::x11 {

class X11Cursors;
class X11Dnd;
class X11HotKeys;
class X11Keyboard;
class X11Pointer;
class X11Presenter;
class X11Selections;
class X11Settings;
// The window system over an X server: one top-level X window per window at its content rectangle
// (menu strip included), showing the window's backing store (only what a pass changed; Expose from
// the store), window-manager hints, the server's monitors, input through XKB and an input method,
// cursors, the clipboard and primary selection, pop-ups above everything. Main thread only.
class X11Backend : public Backend {
public:
    struct Options {
        bool sharedMemory = true;  // false: never MIT-SHM (tests of the plain path)
        // Installs the process's EGL display on this server (before any GL use) so that GL
        // surfaces of windows are child windows; the display stays for the process.
        bool glWindows = false;
        // Pixels per point, 1-3; 0: the desktop's (ORBILUME_SCALE, XSETTINGS, Xft.dpi).
        int32_t scale = 0;
    };
    // Connects to the named display (null: $DISPLAY); null when no server answers.
    static std::unique_ptr<X11Backend> Open(const char* displayName = nullptr);
    static std::unique_ptr<X11Backend> Open(const char* displayName, const Options& options);
    ~X11Backend() override;

    const char* Name() const override { return "x11"; }
    [[nodiscard]] bool Start() override;
    void Stop() override;
    std::vector<Screen> Screens() const override;
    double BackingScale() const override { return fScale; }
    // From the last events the server sent (no round trip).
    Point MouseLocation() const override { return fMouse; }
    uint32_t ModifierFlags() const override { return fModifiers; }
    void WindowChanged(Window* window, WindowChange change) override;
    void Beep() override;
    int32_t KeyRepeatDelayTicks() const override;
    int32_t KeyRepeatIntervalTicks() const override;
    void SetCursor(const Cursor* cursor) override;
    const Cursor* CurrentCursor() const { return fCursor.get(); }
    // Grabs on the root window, made on first use.
    HotKeys* GlobalHotKeys() override;
    Ref<DrawContext> CreateBackingStore(Window* window, int32_t width, int32_t height) override;
    void PresentWindow(Window* window, const Rect& damage) override;
    void ShowDragImage(const BitmapImage* image, Point screen) override;
    void MoveDragImage(Point screen) override;
    void HideDragImage(bool slideBack) override;
    // From the server's stacking of the root's children (XQueryTree), frames of a window manager
    // standing for the windows they hold; other programs' override-redirect windows (menus,
    // tooltips, drag icons) are passed over.
    bool WindowAt(Point screen, Window** window) override;
    Ref<GLSurface> CreateGLSurface(Window* window, GLPixelFormat* format, int32_t width,
                                   int32_t height) override;

    // _NET_WM_ICON of every window (null: none); kept for windows made later, also before Start.
    void SetApplicationIcon(const BitmapImage* image) override;
    // The frame the window manager put around a window, in pixels: x left, y top, width right,
    // height bottom; zero without one.
    Rect FrameExtents(const Window* window) const;

    ::Display* XDisplay() const { return fDisplay; }
    // The X window of a window, 0 when it has none.
    unsigned long XWindowOf(const Window* window) const;
    // Reads every event the server sent and posts what the application must see.
    void Pump();
    // The server went away: the application was asked to end.
    bool ConnectionLost() const override { return fLost; }
    X11Presenter* Presenter() const { return fPresenter.get(); }
    X11Selections* Selections() const { return fSelections.get(); }
    X11Dnd* Dnd() const { return fDnd.get(); }

    // What presenting did, for tests: the X pixel rectangles sent, and the passes of the framework
    // an Expose caused (none when the backing store answers).
    struct Stats {
        std::vector<Rect> presented;
        uint32_t exposesFromStore = 0;
        uint32_t exposesToFramework = 0;
    };
    Stats& PresentStats() { return fStats; }

    struct XWin;

private:
    X11Backend(::Display* display, const Options& options);

    void Create(Window* window);
    void Destroy(Window* window);
    void StoreTitle(unsigned long xwindow, const std::string& title);
    void StoreHints(Window* window, unsigned long xwindow);
    void StoreIcon(unsigned long xwindow);
    void StoreTransientFor(Window* window, unsigned long xwindow);
    bool CoversAScreen(const Window* window) const;
    void SendState(unsigned long xwindow, bool add, const char* state);
    void Activate(unsigned long xwindow);
    void ReadFrameExtents(XWin* state);
    void Restack();
    void Mapped(Window* window, XWin* x);
    void ApplyServerGeometry(Window* window, XWin* x);
    void Exposed(Window* window, XWin* x);
    void Present(Window* window, XWin* x, const Rect& area);
    XWin* StateOf(unsigned long xwindow) const;
    XWin* StateOf(const Window* window) const;
    bool Translate(_XEvent* x, Window* window, XWin* state);
    void PostScroll(Window* window, Point local, unsigned state, double linesX, double linesY, bool precise);
    bool FocusIsOurs();
    unsigned long TopLevelOf(unsigned long xwindow);
    XWin* OursAtTop(unsigned long top);
    void StateChanged(Window* window, XWin* x);
    bool HasWindowManager();
    void SchedulePump() const;
    static void Readable(FdSource* source, int fd, uint32_t ready, void* self);
    static void PumpPerform(void* self);
    static void Lost(::Display* display);

    ::Display* fDisplay;
    std::unique_ptr<X11Presenter> fPresenter;
    std::unique_ptr<X11Keyboard> fKeyboard;
    std::unique_ptr<X11Pointer> fPointer;
    std::unique_ptr<X11Cursors> fCursors;
    std::unique_ptr<X11Selections> fSelections;
    std::unique_ptr<X11Dnd> fDnd;
    std::unordered_map<unsigned long, std::unique_ptr<XWin>> fWindows;
    Ref<FdSource> fSource;
    Ref<RunLoopSource> fPump;
    bool fApplyingServerFrame = false;
    bool fLost = false;
    bool fRandR = false;
    int fRandREvent = 0;
    Ref<const Cursor> fCursor;
    std::unique_ptr<X11HotKeys> fHotKeys;
    unsigned long fCursorX = 0;
    Point fMouse;
    uint32_t fModifiers = 0;
    // Click counting: the last press.
    unsigned fLastButton = 0;
    unsigned long fLastPressTime = 0;
    Point fLastPressAt;
    int32_t fClicks = 0;
    std::vector<unsigned> fKeysDown;  // keycodes, for auto-repeat
    unsigned long fDragWindow = 0;
    unsigned long fDragColormap = 0;  // of an ARGB drag window
    Point fDragOrigin;
    Stats fStats;
    std::unordered_map<std::string, unsigned long> fAtoms;
    std::shared_ptr<bool> fAlive = std::make_shared<bool>(true);
    unsigned long Intern(const char* name);
    bool ReadDesktopSettings(X11Settings* settings);
    int32_t DesktopScale(int32_t fromSettings);
    double fScale = 1;
    std::vector<long> fIcon;
};

}  // namespace plat::x11
