#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Platform/AppKit/Event.h"
#include "Platform/Foundation/Geometry.h"

namespace plat {
class Window;
}

namespace conformance {

// A key as a keyboard sends it: the X keysym (for the x11 backend) and the text the application
// must see (what the headless backend is given).
struct Key {
    unsigned long keysym;
    uint32_t modifiers;
    const char* characters;
    const char* charactersIgnoringModifiers;
};

// One window-system backend as the conformance suite drives it: installs it for its lifetime, feeds it
// input from outside the application and reads back what the window system shows.
class BackendDriver {
public:
    virtual ~BackendDriver() = default;

    // False when the backend could not be set up (the reason in Failure()).
    virtual bool Ok() const = 0;
    virtual std::string Failure() const { return {}; }

    // Input arriving from the window system (mouse locations in the window's content coordinates).
    virtual void Mouse(plat::Window* window, plat::EventType type, plat::Point location,
                       uint32_t modifiers) = 0;
    // Wheel: one notch; dy 1 up, -1 down.
    virtual void Wheel(plat::Window* window, plat::Point location, double dy) = 0;
    virtual void PressKey(plat::Window* window, const Key& key, bool down) = 0;
    // A modifier key (its keysym); flags are the modifiers held after it.
    virtual void PressModifier(plat::Window* window, unsigned long keysym, uint32_t flags, bool down) = 0;
    // Keys typed one after another on the keyboard (dead keys and the letters they change, as
    // keysyms) into the key window; text is what they make (what the headless backend is given).
    virtual void Compose(plat::Window* window, const std::vector<unsigned long>& keysyms,
                         const std::string& text) = 0;
    // A key pressed and released on the keyboard whoever has the focus: a virtual key code with
    // hot-key modifiers (plat::HotKeyModifier).
    virtual void PressHotKey(uint32_t keyCode, uint32_t modifiers) = 0;
    // Another program takes the key (no modifiers) for itself: the application's next registration
    // of it is refused.
    virtual void HoldHotKeyOutside(uint32_t keyCode) = 0;
    // The user resizes the window's content to the size (not asked for by the application).
    virtual void UserResize(plat::Window* window, plat::Size content) = 0;

    // Pixels per point of the window system the driver set up.
    virtual int32_t Scale() const = 0;
    // Why windows of this backend cannot show GL surfaces here (empty when they can).
    virtual std::string GLSkip() const { return {}; }

    // What the window system shows of a window.
    virtual bool Shown(const plat::Window* window) = 0;
    virtual plat::Rect ShownContent(const plat::Window* window) = 0;
    virtual std::string ShownTitle(const plat::Window* window) = 0;
    // How the window system dresses a window.
    struct Style {
        bool titleBar;   // a title bar (decorations)
        bool utility;    // a utility window: a floating panel's small frame
        bool resizable;  // a titled window whose size the user can change
        bool operator==(const Style& o) const {
            return titleBar == o.titleBar && utility == o.utility && resizable == o.resizable;
        }
    };
    virtual Style ShownStyle(const plat::Window* window) = 0;
    // The shown windows among the given ones, front to back as the window system stacks them.
    virtual std::vector<const plat::Window*> ShownOrder(const std::vector<plat::Window*>& among) = 0;
    // The colour (0xRRGGBB) the window system shows at a pixel of the window's content (pixels from
    // the content's top-left: points × Scale()), GL surfaces included.
    virtual uint32_t ShownPixel(const plat::Window* window, int32_t x, int32_t y) = 0;
    // The cursor shown with the pointer over the window: its name as Cursor::Name() gives it
    // ("arrow", "ibeam", ..., "image") and its hot spot in the cursor image's pixels.
    virtual std::string ShownCursor(const plat::Window* window, plat::Point* hotSpot) = 0;
    // The content rectangles (in points) presented since the last call.
    virtual std::vector<plat::Rect> TakePresented(const plat::Window* window) = 0;

    // Another program puts text on the clipboard, or reads the clipboard's text; false with the
    // reason in *skip when it cannot run here. Both keep the application's event loop turning.
    virtual bool PutClipboardOutside(const std::string& text, std::string* skip) = 0;
    virtual bool ReadClipboardOutside(std::string* text, std::string* skip) = 0;
    // The same with the selection (the primary selection on x11).
    virtual bool PutSelectionOutside(const std::string& text, std::string* skip) = 0;
    virtual bool ReadSelectionOutside(std::string* text, std::string* skip) = 0;

    // Another program shows a window of its own over the screen rectangle (points), above every
    // window of the application; it stays while the driver lives.
    virtual void CoverOutside(const plat::Rect& screen) = 0;

    // Another program drags text or files (absolute paths) over the window, through the content
    // points in turn, then drops there or leaves. Answers whether it ran to its end (*accepted:
    // whether the drop was taken); false with the reason in *skip when it cannot run here.
    struct OutsideDrag {
        std::string text;
        std::vector<std::string> paths;
        std::vector<plat::Point> points;
        bool drop = true;
    };
    virtual bool DragFromOutside(plat::Window* window, const OutsideDrag& drag, bool* accepted,
                                 std::string* skip) = 0;
};

// A 1440 × 900-pixel display at the given pixels per point (1-3).
std::unique_ptr<BackendDriver> MakeHeadlessDriver(int32_t scale = 1);
std::unique_ptr<BackendDriver> MakeX11Driver(int32_t scale = 1);

}  // namespace conformance
