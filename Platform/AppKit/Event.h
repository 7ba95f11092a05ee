#pragma once

#include <cstdint>
#include <string>

#include "Platform/Foundation/Geometry.h"

namespace plat {

enum class EventType : uint32_t {
    kNone = 0,
    kLeftMouseDown = 1,
    kLeftMouseUp = 2,
    kRightMouseDown = 3,
    kRightMouseUp = 4,
    kMouseMoved = 5,
    kLeftMouseDragged = 6,
    kRightMouseDragged = 7,
    kMouseEntered = 8,
    kMouseExited = 9,
    kKeyDown = 10,
    kKeyUp = 11,
    kFlagsChanged = 12,
    kAppKitDefined = 13,
    kSystemDefined = 14,
    kApplicationDefined = 15,
    kPeriodic = 16,
    kCursorUpdate = 17,
    kScrollWheel = 22,
    kOtherMouseDown = 25,
    kOtherMouseUp = 26,
    kOtherMouseDragged = 27,
};

inline constexpr uint64_t EventMaskOf(EventType type) {
    return uint64_t(1) << uint32_t(type);
}
inline constexpr uint64_t kAnyEventMask = ~uint64_t(0);

// Modifier flag bits (Command is Ctrl, Option is Alt, Control is Super).
enum : uint32_t {
    kAlphaShiftKeyMask = 1u << 16,
    kShiftKeyMask = 1u << 17,
    kControlKeyMask = 1u << 18,
    kAlternateKeyMask = 1u << 19,
    kCommandKeyMask = 1u << 20,
};

// One input event, copied by value. Mouse locations are in the content coordinates of the event's
// window, or in screen coordinates when windowNumber is 0.
struct Event {
    EventType type = EventType::kNone;
    Point location;
    uint32_t modifierFlags = 0;
    double timestamp = 0;  // seconds on the run-loop clock
    int64_t windowNumber = 0;
    int64_t eventNumber = 0;
    int32_t clickCount = 0;
    // Mouse buttons: 0 left, 1 right, 2 middle, then the others.
    int32_t buttonNumber = 0;
    // Keys.
    std::string characters;
    std::string charactersIgnoringModifiers;
    uint16_t keyCode = 0;
    bool isRepeat = false;
    // Wheel: line deltas, and pixel deltas when the device has them.
    double deltaX = 0;
    double deltaY = 0;
    bool hasScrollingDeltas = false;
    double scrollingDeltaX = 0;
    double scrollingDeltaY = 0;
    bool hasPreciseScrollingDeltas = false;
    // Application-defined events.
    int16_t subtype = 0;
    int64_t data1 = 0;
    int64_t data2 = 0;

    bool IsMouse() const;
    bool IsKey() const { return type == EventType::kKeyDown || type == EventType::kKeyUp; }
};

}  // namespace plat
