#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "Platform/AppKit/Backend.h"
#include "Platform/AppKit/Cursor.h"
#include "Platform/AppKit/Event.h"
#include "Platform/AppKit/headless/HeadlessHotKeys.h"

namespace plat {
class Window;
}

namespace plat::headless {

// In-memory window system: configured screens, a pointer moved by injected events, counters of what
// the window server was told. Tests install one with plat::SetBackend and inject events through it.
class HeadlessBackend : public Backend {
public:
    // Screens from ORBILUME_HEADLESS_SCREENS ("WxH+X+Y/bar" entries separated by ";"), else one
    // 1920×1080 screen with a 25-pixel menu bar.
    HeadlessBackend();

    const char* Name() const override { return "headless"; }
    std::vector<Screen> Screens() const override { return fScreens; }
    double BackingScale() const override { return fScale; }
    // Pixels per point (1-3) of every screen and of the windows' backing stores made after it.
    void SetBackingScale(int32_t scale);
    Point MouseLocation() const override { return fMouse; }
    uint32_t ModifierFlags() const override { return fModifiers; }
    void WindowChanged(Window* window, WindowChange change) override;
    void Beep() override { ++fBeeps; }
    void PresentWindow(Window* window, const Rect& damage) override;
    void SetCursor(const Cursor* cursor) override;
    void ShowDragImage(const BitmapImage* image, Point screen) override;
    void MoveDragImage(Point screen) override;
    void HideDragImage(bool slideBack) override;
    // Other programs' windows (screen rectangles) stacked above the application's.
    void SetForeignWindows(std::vector<Rect> frames) { fForeign = std::move(frames); }
    // Null over another program's window; otherwise left to the application's order.
    bool WindowAt(Point screen, Window** window) override;
    double DoubleClickInterval() const override { return fDoubleClick; }
    int32_t KeyRepeatDelayTicks() const override { return fRepeatDelay; }
    int32_t KeyRepeatIntervalTicks() const override { return fRepeatInterval; }
    HotKeys* GlobalHotKeys() override { return &fHotKeys; }
    HeadlessHotKeys& HotKeyService() { return fHotKeys; }
    void SetKeyRepeatTicks(int32_t delay, int32_t interval) {
        fRepeatDelay = delay;
        fRepeatInterval = interval;
    }

    // A screen whose visible frame leaves out a bar of the given height at its top.
    static Screen MakeScreen(uint32_t displayId, const Rect& frame, double barHeight);
    void SetScreens(std::vector<Screen> screens) {
        fScreens = std::move(screens);
        for (Screen& screen : fScreens) screen.backingScaleFactor = fScale;
    }
    // Parses a screen list; false (and nothing changed) when the text is malformed.
    [[nodiscard]] bool ConfigureScreens(const char* text);

    void SetMouseLocation(Point screen) { fMouse = screen; }
    void SetModifierFlags(uint32_t flags) { fModifiers = flags; }

    // Stamps the event (time, number), moves the pointer and modifiers as it says and posts it.
    void Inject(Event event, bool atStart = false);
    // Builders of events in a window's content coordinates (window null: screen coordinates).
    static Event MouseEvent(EventType type, Window* window, Point location, uint32_t modifiers = 0);
    static Event WheelEvent(Window* window, Point location, double dx, double dy, bool precise,
                            uint32_t modifiers = 0);
    static Event KeyEvent(EventType type, Window* window, const char* characters, uint16_t keyCode,
                          uint32_t modifiers = 0);

    uint32_t ChangeCount(WindowChange change) const { return change < kCount ? fChanges[change] : 0; }
    uint32_t Beeps() const { return fBeeps; }
    // The areas presented, in order (window number and content rectangle).
    struct Presented {
        int64_t window;
        Rect area;
    };
    const std::vector<Presented>& PresentedAreas() const { return fPresented; }
    void ClearPresentedAreas() { fPresented.clear(); }

    // The cursor set last (null before any), and how many times one was set.
    const Cursor* CurrentCursor() const { return fCursor.get(); }
    uint32_t CursorSets() const { return fCursorSets; }
    void SetDoubleClickInterval(double seconds) { fDoubleClick = seconds; }

    // What the drag image did, in order.
    struct DragImageRecord {
        enum class Kind { kShow, kMove, kHide } kind;
        Point at;        // show and move: the image's top-left
        Size size;       // show: the image's size
        bool slideBack;  // hide
    };
    const std::vector<DragImageRecord>& DragImageRecords() const { return fDragImages; }
    void ClearDragImageRecords() { fDragImages.clear(); }

    // A resize by the user: the window's delegate is asked (WindowWillResize) and its answer applied.
    static void UserResize(Window* window, Size frameSize);

private:
    static constexpr uint32_t kCount = kDestroyed + 1;
    std::vector<Screen> fScreens;
    int32_t fScale = 1;
    Point fMouse;
    uint32_t fModifiers = 0;
    uint32_t fChanges[kCount] = {};
    uint32_t fBeeps = 0;
    Ref<const Cursor> fCursor;
    uint32_t fCursorSets = 0;
    double fDoubleClick = 0.5;
    int32_t fRepeatDelay = 15;
    int32_t fRepeatInterval = 2;
    std::vector<DragImageRecord> fDragImages;
    HeadlessHotKeys fHotKeys;
    std::vector<Presented> fPresented;
    std::vector<Rect> fForeign;
};

}  // namespace plat::headless
