#pragma once

// The process-wide event waker of the timers. Due timers wake the main loop through the run loop's
// own timer (re-armed after each idle pass), so nothing more is needed process-wide and the waker
// is an empty object that keeps its place in the start-up order. Main thread only.
class CEventWaker {
public:
    CEventWaker() = default;
    CEventWaker(const CEventWaker&) = delete;
    CEventWaker& operator=(const CEventWaker&) = delete;
};
