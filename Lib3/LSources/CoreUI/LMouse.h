#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/LHandler.h"
#include "Lib3/LSources/CoreUI/CLRect.h"
#include "Platform/AppKit/Event.h"

class LPane;
class LWindow;

// Mouse messages; the sender is always the mouse object.
L_MESSAGE_ID(LMouse_Click);
L_MESSAGE_ID(LMouse_Release);
L_MESSAGE_ID(LMouse_Move);
L_MESSAGE_ID(LMouse_Cursor);
L_MESSAGE_ID(LMouse_Wheel);
L_MESSAGE_ID(LMouse_Leave);
L_MESSAGE_ID(LMouse_Bkgnd);
L_MESSAGE_ID(LMouse_Context);

// The mouse state that the window bridge fills from each native event, and the sender of every
// pane-level mouse message: location (global coordinates), modifiers, press times and places, the
// tracker (the handler that captured the mouse), the wheel, and the pane the mouse is over. One
// instance, made at start-up. Main thread only.
class LMouse : public LHandler {
public:
    LMouse();
    ~LMouse() override;

    // The instance, null when none exists.
    static LMouse* Get();

    LMessage Handle(const LMessage& msg) override;

    // Filled by the bridge. The press bookkeeping runs once per native event number.
    void Fill(const plat::Event& event, const CLPoint& global);
    void SetModifiers(uint32_t flags) { mModifiers = flags; }
    // Milliseconds of an event timestamp (seconds), keeping the low 32 bits of the 64-bit count.
    static uint32_t EventTimeMs(double timestamp);

    const CLPoint& Location() const { return mLocation; }
    void SetLocation(const CLPoint& p) { mLocation = p; }
    uint32_t Modifiers() const { return mModifiers; }
    uint32_t PressTime() const { return mPressTime; }
    uint32_t PreviousPressTime() const { return mPrevPressTime; }
    const CLPoint& PressLocation() const { return mPressLocation; }
    const CLPoint& PreviousPressLocation() const { return mPrevPressLocation; }
    const plat::Event& CurrentEvent() const { return mEvent; }
    bool EventLive() const { return mEventLive; }
    void SetEventLive(bool live) { mEventLive = live; }

    bool IsShiftDown() const { return mModifiers & plat::kShiftKeyMask; }
    bool IsControlDown() const { return mModifiers & plat::kControlKeyMask; }
    bool IsOptionDown() const { return mModifiers & plat::kAlternateKeyMask; }
    bool IsCommandDown() const { return mModifiers & plat::kCommandKeyMask; }
    // Shift held now (query 0; any other query answers false).
    static bool IsShiftDownNow(int query = 0);

    // True when the stamp equals the last-click stamp and the presses lie within the double-click
    // interval; the stamp and the last-click stamp become the press time in every case.
    bool IsDoubleClick(uint32_t& stamp);
    static uint32_t DoubleClickIntervalMs();
    // The press the caller stamped is still the latest, and no other press waits in the queue.
    bool IsSamePress(uint32_t stamp) const;

    LHandler* Tracker() const { return mTracker; }
    void SetTracker(LHandler* handler) { mTracker = handler; }
    void Capture(LHandler* handler);
    // Clears the tracker and sends it "LMouse_Release".
    void ReleaseTracker();

    void SetWheel(const CLPoint& location, int32_t dx, int32_t dy, uint32_t modifiers);
    int32_t WheelX() const { return mWheelX; }
    int32_t WheelY() const { return mWheelY; }
    // Whole steps of the wheel delta on one axis (0 horizontal, 1 vertical), the rest kept for later;
    // limit >= 1 bounds the answer.
    int32_t TakeWheelSteps(int axis, int32_t limit, int32_t step);

    // The pane that last got "LMouse_Cursor" from a window.
    static LPane* MouseOver();
    static void SetMouseOver(LPane* pane);
    // Sends "LMouse_Leave" to the mouse-over pane and clears it.
    void ClearMouseOver();

    // Routes the cursor: the tracker, else the window in front (modal first, else under the mouse),
    // else the default target.
    void UpdateCursor(LHandler* defaultTarget);
    // True while a drag is in progress (no cursor updates then); none: never.
    using DragHook = bool (*)();
    static void SetDragInProgressHook(DragHook hook);

private:
    CLPoint mLocation;
    uint32_t mModifiers = 0;
    uint32_t mPressTime = 0;
    uint32_t mPrevPressTime = 0;
    CLPoint mPrevPressLocation;
    CLPoint mPressLocation;
    uint32_t mLastClickStamp = 0;
    LHandler* mTracker = nullptr;
    int32_t mWheelX = 0;
    int32_t mWheelY = 0;
    plat::Event mEvent;
    bool mEventLive = false;
    uint8_t mFlag2 = 0;
    int64_t mLastEventNumber = 0;
    int32_t mWheelRest[2] = {0, 0};
};
