#include "Platform/AppKit/headless/HeadlessBackend.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Window.h"
#include "Platform/Foundation/Clock.h"

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

bool HeadlessBackend::ConfigureScreens(const char* text) {
    std::vector<Screen> screens;
    std::string all(text ? text : "");
    size_t start = 0;
    while (start <= all.size()) {
        size_t end = all.find(';', start);
        if (end == std::string::npos) end = all.size();
        std::string item = all.substr(start, end - start);
        start = end + 1;
        if (item.empty()) continue;
        int w = 0, h = 0, x = 0, y = 0, bar = 0, used = 0;
        int n = std::sscanf(item.c_str(), "%dx%d%d%d%n", &w, &h, &x, &y, &used);
        if (n != 4 || w <= 0 || h <= 0 || w > 65536 || h > 65536) return false;
        const char* rest = item.c_str() + used;
        if (*rest == '/' && std::sscanf(rest + 1, "%d", &bar) != 1) return false;
        if (bar < 0 || bar >= h) return false;
        screens.push_back(
            MakeScreen(uint32_t(screens.size() + 1), {double(x), double(y), double(w), double(h)}, bar));
    }
    if (screens.empty()) return false;
    fScreens = std::move(screens);
    return true;
}

void HeadlessBackend::WindowChanged(Window*, WindowChange change) {
    if (change < kCount) ++fChanges[change];
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

Event HeadlessBackend::MouseEvent(EventType type, Window* window, Point location, uint32_t modifiers) {
    Event e;
    e.type = type;
    e.windowNumber = window ? window->Number() : 0;
    e.location = location;
    e.modifierFlags = modifiers;
    e.clickCount = (type == EventType::kLeftMouseDown || type == EventType::kRightMouseDown) ? 1 : 0;
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

}  // namespace plat::headless
