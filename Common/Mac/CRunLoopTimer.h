#pragma once

#include "Common/Posix/CPsxMutex.h"
#include "Platform/Foundation/Object.h"

class CRunLoopThread;
namespace plat {
class RunLoopTimer;
}

// A timer on the run loop of a CRunLoopThread; the callback runs on that thread.
class CRunLoopTimer {
public:
    using Callback = void (*)(void* context);

    CRunLoopTimer(CRunLoopThread* thread, void* context, Callback callback);
    ~CRunLoopTimer();
    CRunLoopTimer(const CRunLoopTimer&) = delete;
    CRunLoopTimer& operator=(const CRunLoopTimer&) = delete;

    // Fires once, ms from now. The first call waits until the thread's loop runs and does nothing
    // when the thread was stopped.
    void FireAfter(double ms);

private:
    static void Fire(plat::RunLoopTimer* timer, void* self);

    CRunLoopThread* mThread;
    void* mContext;
    Callback mCallback;
    plat::Ref<plat::RunLoopTimer> mTimer;
    CPsxMutex mMutex;
    bool mAdded = false;
};
