#pragma once

#include <atomic>

#include "Common/Posix/CPsxMutex.h"
#include "Common/Posix/CPsxThread.h"
#include "Lib3/LSources/CoreData/LAsyncLoop.h"
#include "Platform/Foundation/Object.h"

class CMacTimer;
class CMainLoopBase;
namespace plat {
class RunLoopSource;
}

// An LAsyncLoop with a thread and run loop of its own. Signals and loop timers reach their owners
// with the loop lock held. Device and network code may add descriptor sources to RunLoop(); their
// callbacks run on that thread while it waits, without the loop lock, so they take it (Lock) around
// anything they share with other threads.
class LAsyncWorkerLoop : public LAsyncLoop {
public:
    // The main loop makes the main-thread notifier; without one a plain CMacTimer is used.
    explicit LAsyncWorkerLoop(CMainLoopBase* mainLoop);
    // Main thread. Stops the thread cooperatively and joins it.
    ~LAsyncWorkerLoop() override;

    void Wake() override;
    void EventPosted() override;
    void Lock() override { mLoopMutex.Lock(); }
    void Unlock() override { mLoopMutex.Unlock(); }
    plat::RunLoop* RunLoop() override { return mRunLoop.load(std::memory_order_acquire); }

private:
    static void Body(void* self);
    static void Notified(void* self, CMacTimer* timer);
    void ThreadMain();

    CPsxMutex mLoopMutex;    // held by the thread whenever it runs client code
    std::atomic<bool> mStop{false};
    std::atomic<bool> mNotified{false};
    CMacTimer* mNotifier;
    plat::Ref<plat::RunLoopSource> mSource;  // carries no data: only wakes the thread
    std::atomic<plat::RunLoop*> mRunLoop{nullptr};
    CPsxThread mThread;
};
