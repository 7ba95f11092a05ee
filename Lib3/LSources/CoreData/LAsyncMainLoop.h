#pragma once

#include <atomic>

#include "Common/Posix/CPsxMutex.h"
#include "Lib3/LSources/CoreData/LAsyncLoop.h"
#include "Platform/Foundation/RunLoop.h"

// The LAsyncLoop of the main thread: signals raised anywhere and loop timers reach their owners on
// the main thread, from the main run loop (common modes) with the loop lock held, never from inside
// Raise or Start. Events posted to it are drained by the same pass and delivered as usual. Made and
// destroyed on the main thread; its clients must be gone first.
class LAsyncMainLoop : public LAsyncLoop {
public:
    LAsyncMainLoop();
    ~LAsyncMainLoop() override;

    void Wake() override;
    void EventPosted() override;
    void Lock() override { mLoopMutex.Lock(); }
    void Unlock() override { mLoopMutex.Unlock(); }
    plat::RunLoop* RunLoop() override;

private:
    static void Perform(void* self);
    static void TimerFired(plat::RunLoopTimer* timer, void* self);
    void Pass();
    void ArmTimer();

    CPsxMutex mLoopMutex;    // held while client code runs from a pass
    std::atomic<bool> mEventsPosted{false};
    plat::Ref<plat::RunLoopSource> mSource;
    plat::Ref<plat::RunLoopTimer> mTimer;
};
