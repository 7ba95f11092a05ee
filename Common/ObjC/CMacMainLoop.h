#pragma once

#include <cstdint>
#include <vector>

#include "Lib3/LSources/CoreData/CMainLoopBase.h"
#include "Lib3/LSources/CoreUI/CLRect.h"
#include "Platform/AppKit/Application.h"
#include "Platform/Foundation/Object.h"

class LMenuBar;
namespace plat {
struct Event;
class RunLoopTimer;
class Window;
}  // namespace plat

// The platform half of the main loop. The framework's idle work (timers, the coalesced scroll wheel)
// runs from one run-loop timer in the common modes, re-armed after each pass for the timer service's
// next due time; modal handlers step the application's event loop one event at a time. One instance,
// made by the application root. Main thread only.
class CMacMainLoop : public CMainLoopBase {
public:
    // The wheel delivered last with "LWindow_Wheel" (read by the mouse state).
    struct SWheel {
        int64_t windowNumber = 0;
        CLPoint location;  // global coordinates
        uint32_t modifiers = 0;
        int32_t deltaX = 0;
        int32_t deltaY = 0;
    };

    explicit CMacMainLoop(LHandler* root);
    ~CMacMainLoop() override;

    static CMacMainLoop* Get();

    // The framework menu bar built from the 'TMNB' resource "APP" (the main menu bar), owned.
    LMenuBar* MenuBar() const { return mMenuBar; }

    LMessage Handle(const LMessage& msg) override;

    void RunModalStep() override;
    bool TerminationRequested() const override;
    void Quit() override;
    void RequestUpdate() override;
    CMacTimer* CreateTimer(TimerCallback callback, void* context) override;
    void RearmIdleTimer() override;
    LHandler* FrontModalOwner() override;

    // Ends the modal session of the window, if one runs.
    void EndModalSession(plat::Window* window);
    // Adds a scroll-wheel event to the accumulator; the idle pass 10 ms later delivers the sum.
    void ScrollWheel(const plat::Event& event);
    const SWheel& LastWheel() const { return mLastWheel; }

    bool QuitPending() const { return mQuitPending; }
    void SetQuitPending(bool pending) { mQuitPending = pending; }
    bool IdlePending() const { return mPending; }
    // Seconds until the idle timer fires next (run-loop clock), or a negative value when parked.
    double IdleTimerDelay() const;

    // The cursor update that each idle pass ends with (outside event tracking and unless the window
    // bridge suppressed it), given the mouse location in global coordinates; none: nothing runs.
    using CursorUpdate = void (*)(const CLPoint& global);
    static void SetCursorUpdate(CursorUpdate update);
    static void SuppressCursorUpdates(bool suppress);
    // The mouse location the last idle pass saw.
    const CLPoint& MouseLocation() const { return mMouse; }

private:
    struct Session {
        plat::Window* window;
        plat::Application::ModalSession* session;
    };

    void Arm(double seconds);
    void IdleCallback();
    void DeliverWheel();
    void UpdateCursor();
    static void IdleFired(plat::RunLoopTimer* timer, void* self);
    static bool KeyEquivalent(const plat::Event& event, void* self);

    LMenuBar* mMenuBar = nullptr;
    bool mPending = false;
    bool mQuitPending = false;
    std::vector<Session> mSessions;
    plat::Ref<plat::RunLoopTimer> mIdle;
    // Wheel accumulator: deltas keep their fraction until delivery.
    int64_t mWheelWindow = 0;
    CLPoint mWheelLocation;
    uint32_t mWheelModifiers = 0;
    double mWheelX = 0;
    double mWheelY = 0;
    SWheel mLastWheel;
    CLPoint mMouse;
};
