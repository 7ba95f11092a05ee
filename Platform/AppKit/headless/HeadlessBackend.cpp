#include "Platform/AppKit/headless/HeadlessBackend.h"

#include <cstdlib>
#include <cstring>

#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Window.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Graphics/BitmapImage.h"

namespace plat::headless {

HeadlessBackend::HeadlessBackend() {
    const char* env = std::getenv("ORBILUME_HEADLESS_SCREENS");
    if (env && ConfigureScreens(env)) return;
    fScreens.push_back(MakeScreen(1, {0, 0, 1920, 1080}, 25));
}

Screen HeadlessBackend::MakeScreen(uint32_t displayId, const Rect& frame, double barHeight) {
    Screen s;
    s.displayId = displayId;
    s.frame = frame;
    s.visibleFrame = {frame.x, frame.y + barHeight, frame.width, frame.height - barHeight};
    return s;
}

namespace {

constexpr size_t kMaxText = 4096;
constexpr size_t kMaxScreens = 16;
constexpr long kMaxExtent = 65536;

// Reads a decimal number (optionally signed) within -limit..limit and moves p past it.
bool Number(const char*& p, bool allowSign, long limit, long* out) {
    const char* start = p;
    bool negative = false;
    if (allowSign && (*p == '+' || *p == '-')) negative = *p++ == '-';
    long v = 0;
    const char* digits = p;
    while (*p >= '0' && *p <= '9') {
        v = v * 10 + (*p++ - '0');
        if (v > limit) return false;
    }
    if (p == digits) {
        p = start;
        return false;
    }
    *out = negative ? -v : v;
    return true;
}

}  // namespace

// Entries "WxH+X+Y" or "WxH+X+Y/bar" (X and Y signed), separated by ";".
bool HeadlessBackend::ConfigureScreens(const char* text) {
    if (!text) return false;
    size_t length = strnlen(text, kMaxText + 1);
    if (length > kMaxText) return false;
    std::vector<Screen> screens;
    const char* p = text;
    while (*p) {
        if (*p == ';') {
            ++p;
            continue;
        }
        long w, h, x, y, bar = 0;
        if (!Number(p, false, kMaxExtent, &w) || *p++ != 'x') return false;
        if (!Number(p, false, kMaxExtent, &h)) return false;
        if ((*p != '+' && *p != '-') || !Number(p, true, kMaxExtent, &x)) return false;
        if ((*p != '+' && *p != '-') || !Number(p, true, kMaxExtent, &y)) return false;
        if (*p == '/') {
            ++p;
            if (!Number(p, false, kMaxExtent, &bar)) return false;
        }
        if (*p && *p != ';') return false;
        if (w <= 0 || h <= 0 || bar >= h || screens.size() >= kMaxScreens) return false;
        screens.push_back(MakeScreen(uint32_t(screens.size() + 1),
                                     {double(x), double(y), double(w), double(h)}, double(bar)));
    }
    if (screens.empty()) return false;
    SetScreens(std::move(screens));
    return true;
}

void HeadlessBackend::SetBackingScale(int32_t scale) {
    if (scale < 1 || scale > 3) return;
    fScale = scale;
    for (Screen& screen : fScreens) screen.backingScaleFactor = scale;
}

void HeadlessBackend::WindowChanged(Window*, WindowChange change) {
    if (change < kCount) ++fChanges[change];
}

void HeadlessBackend::PresentWindow(Window* window, const Rect& damage) {
    if (fPresented.size() >= 4096) fPresented.erase(fPresented.begin());
    fPresented.push_back({window->Number(), damage});
}

void HeadlessBackend::SetCursor(const Cursor* cursor) {
    fCursor = cursor ? RetainRef(cursor) : Ref<const Cursor>(Cursor::Arrow());
    ++fCursorSets;
}

void HeadlessBackend::UserResize(Window* window, Size frameSize) {
    if (window) window->ResizeByUser(frameSize);
}

void HeadlessBackend::Inject(Event e, bool atStart) {
    Application* app = Application::Shared();
    e.timestamp = ClockNow();
    if (!e.eventNumber) e.eventNumber = app->NextEventNumber();
    if (e.IsMouse()) {
        Window* w = app->WindowWithNumber(e.windowNumber);
        fMouse = w ? w->ConvertToScreen(e.location) : e.location;
    }
    if (e.type != EventType::kApplicationDefined) fModifiers = e.modifierFlags;
    app->PostEvent(e, atStart);
}

bool HeadlessBackend::WindowAt(Point screen, Window** window) {
    *window = nullptr;
    for (const Rect& r : fForeign)
        if (r.Contains(screen)) return true;
    return false;
}

Event HeadlessBackend::MouseEvent(EventType type, Window* window, Point location, uint32_t modifiers) {
    Event e;
    e.type = type;
    e.windowNumber = window ? window->Number() : 0;
    e.location = location;
    e.modifierFlags = modifiers;
    e.clickCount = (type == EventType::kLeftMouseDown || type == EventType::kRightMouseDown ||
                    type == EventType::kOtherMouseDown)
                       ? 1
                       : 0;
    // The middle button for the other buttons' events.
    if (type == EventType::kRightMouseDown || type == EventType::kRightMouseUp ||
        type == EventType::kRightMouseDragged)
        e.buttonNumber = 1;
    else if (type == EventType::kOtherMouseDown || type == EventType::kOtherMouseUp ||
             type == EventType::kOtherMouseDragged)
        e.buttonNumber = 2;
    return e;
}

Event HeadlessBackend::WheelEvent(Window* window, Point location, double dx, double dy, bool precise,
                                  uint32_t modifiers) {
    Event e = MouseEvent(EventType::kScrollWheel, window, location, modifiers);
    e.deltaX = dx;
    e.deltaY = dy;
    e.hasScrollingDeltas = true;
    e.scrollingDeltaX = dx;
    e.scrollingDeltaY = dy;
    e.hasPreciseScrollingDeltas = precise;
    return e;
}

Event HeadlessBackend::KeyEvent(EventType type, Window* window, const char* characters, uint16_t keyCode,
                                uint32_t modifiers) {
    Event e;
    e.type = type;
    e.windowNumber = window ? window->Number() : 0;
    e.characters = characters ? characters : "";
    e.charactersIgnoringModifiers = e.characters;
    e.keyCode = keyCode;
    e.modifierFlags = modifiers;
    return e;
}

void HeadlessBackend::ShowDragImage(const BitmapImage* image, Point screen) {
    const Size size = image ? Size{double(image->Width()), double(image->Height())} : Size{};
    fDragImages.push_back({DragImageRecord::Kind::kShow, screen, size, false});
}

void HeadlessBackend::MoveDragImage(Point screen) {
    fDragImages.push_back({DragImageRecord::Kind::kMove, screen, {}, false});
}

void HeadlessBackend::HideDragImage(bool slideBack) {
    fDragImages.push_back({DragImageRecord::Kind::kHide, {}, {}, slideBack});
}

}  // namespace plat::headless
