#pragma once

#include "Platform/Foundation/Object.h"
#include "Platform/Foundation/RunLoop.h"

namespace testsupport {

// Bounds a nested event loop (menu tracking, modal runs) in a test: when it still runs after the
// given seconds, a timer in every mode posts Escape and an application-defined event, and Fired()
// turns true, so the test fails instead of hanging. Queue the loop's events before entering it.
class NestedLoopGuard {
public:
    explicit NestedLoopGuard(double seconds = 10);
    ~NestedLoopGuard();
    NestedLoopGuard(const NestedLoopGuard&) = delete;
    NestedLoopGuard& operator=(const NestedLoopGuard&) = delete;

    bool Fired() const { return fFired; }

private:
    static void Fire(plat::RunLoopTimer* timer, void* self);

    plat::Ref<plat::RunLoopTimer> fTimer;
    bool fFired = false;
};

}  // namespace testsupport
