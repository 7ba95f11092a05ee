#include "Lib3/LSources/CoreUI/LMouse.h"

#include <algorithm>
#include <cmath>

#include "Lib3/LSources/CoreData/CMainLoopBase.h"
#include "Lib3/LSources/CoreData/LCallbackList.h"
#include "Lib3/LSources/CoreData/LTimer.h"
#include "Lib3/LSources/CoreUI/LPane.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Lib3/LSources/CoreUI/LWindowServices.h"
#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Backend.h"
#include "Platform/Foundation/Check.h"
#include "Platform/Foundation/Clock.h"

namespace {
LMouse* gMouse = nullptr;
LPane* gMouseOver = nullptr;
LMouse::DragHook gDragHook = nullptr;
}  // namespace

LMouse::LMouse() : LHandler(nullptr) {
    PLAT_DCHECK_MAIN_THREAD();
    mPressTime = LTimer::Now();
    mLastClickStamp = mPressTime;
    if (!gMouse) gMouse = this;
}

LMouse::~LMouse() {
    if (gMouse == this) gMouse = nullptr;
}

LMouse* LMouse::Get() {
    return gMouse;
}

LMessage LMouse::Handle(const LMessage& msg) {
    // One of its own messages came back unconsumed.
    if (msg.sender == this) mEventLive = false;
    return LHandler::Handle(msg);
}

uint32_t LMouse::EventTimeMs(double timestamp) {
    if (!(timestamp > 0)) return 0;
    double ms = std::trunc(timestamp * 1000.0);
    if (ms >= 18446744073709551615.0) return 0xFFFFFFFFu;
    return static_cast<uint32_t>(static_cast<uint64_t>(ms));
}

void LMouse::Fill(const plat::Event& event, const CLPoint& global) {
    PLAT_DCHECK_MAIN_THREAD();
    mEventLive = true;
    mEvent = event;
    mLocation = global;
    mModifiers = event.modifierFlags;
    if (event.type == plat::EventType::kLeftMouseDown && event.eventNumber != mLastEventNumber) {
        mLastEventNumber = event.eventNumber;
        mPrevPressTime = mPressTime;
        mPressTime = EventTimeMs(event.timestamp);
        mPrevPressLocation = mPressLocation;
        mPressLocation = mLocation;
    }
}

bool LMouse::IsShiftDownNow(int query) {
    if (query != 0) return false;
    return plat::Application::Shared()->ModifierFlags() & plat::kShiftKeyMask;
}

uint32_t LMouse::DoubleClickIntervalMs() {
    plat::Backend* b = plat::CurrentBackend();
    double s = b ? b->DoubleClickInterval() : 0.5;
    s = std::clamp(s, 0.0, 61.0);
    return uint32_t(s * 1000.0);
}

bool LMouse::IsDoubleClick(uint32_t& stamp) {
    bool dbl = stamp == mLastClickStamp && mPressTime - mPrevPressTime < DoubleClickIntervalMs();
    mLastClickStamp = mPressTime;
    stamp = mPressTime;
    return dbl;
}

bool LMouse::IsSamePress(uint32_t stamp) const {
    PLAT_DCHECK_MAIN_THREAD();
    if (stamp != mPressTime) return false;
    plat::Event waiting;
    return !plat::Application::Shared()->NextEvent(plat::EventMaskOf(plat::EventType::kLeftMouseDown),
                                                   plat::ClockNow(), plat::kRunLoopDefaultMode, false,
                                                   &waiting);
}

void LMouse::Capture(LHandler* handler) {
    PLAT_DCHECK_MAIN_THREAD();
    if (mTracker && mTracker != handler) ReleaseTracker();
    SetTracker(handler);
}

void LMouse::ReleaseTracker() {
    PLAT_DCHECK_MAIN_THREAD();
    LHandler* old = mTracker;
    mTracker = nullptr;
    if (old) Dispatch(LMessage(LMouse_Release, this, old));
}

void LMouse::SetWheel(const CLPoint& location, int32_t dx, int32_t dy, uint32_t modifiers) {
    mLocation = location;
    mWheelX = dx;
    mWheelY = dy;
    mModifiers = modifiers;
}

int32_t LMouse::TakeWheelSteps(int axis, int32_t limit, int32_t step) {
    const int32_t delta = axis == 0 ? mWheelX : mWheelY;
    if (delta == 0) return 0;
    int32_t& rest = mWheelRest[axis == 0 ? 0 : 1];
    const int64_t total = int64_t(delta) + rest;
    step = std::max(step, 1);
    int64_t steps = total / step;
    rest = int32_t(total % step);
    if (limit >= 1) steps = std::clamp<int64_t>(steps, -limit, limit);
    return int32_t(std::clamp<int64_t>(steps, INT32_MIN, INT32_MAX));
}

LPane* LMouse::MouseOver() {
    return gMouseOver;
}

void LMouse::SetMouseOver(LPane* pane) {
    gMouseOver = pane;
}

void LMouse::ClearMouseOver() {
    PLAT_DCHECK_MAIN_THREAD();
    LPane* old = gMouseOver;
    if (!old) return;
    gMouseOver = nullptr;
    Dispatch(LMessage(LMouse_Leave, this, old));
}

void LMouse::SetDragInProgressHook(DragHook hook) {
    gDragHook = hook;
}

void LMouse::UpdateCursor(LHandler* defaultTarget) {
    PLAT_DCHECK_MAIN_THREAD();
    if (gDragHook && gDragHook()) return;
    if (mTracker) {
        Dispatch(LMessage(LMouse_Cursor, this, mTracker));
        return;
    }
    LWindowServices* services = LWindowServices::Get();
    LWindow* window = nullptr;
    if (services) {
        window = services->FrontWindowOfKind(LWindow::kModal);
        if (!window) window = services->WindowAt(mLocation);
    }
    if (window && !CMainLoopBase::CursorHooks().Call(window)) {
        if (window->Kind() >= LWindow::kFloating || services->FrontWindowOfKind(window->Kind()) == window) {
            Dispatch(LMessage(LWindow_Cursor, window, window->Upper()));
            return;
        }
    }
    ClearMouseOver();
    if (defaultTarget) Dispatch(LMessage(LMouse_Cursor, this, defaultTarget));
}
