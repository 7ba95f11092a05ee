#pragma once

#include <pthread.h>

#include "Common/Posix/CPsxMutex.h"
#include "Common/Posix/CPsxThread.h"
#include "Platform/Foundation/Object.h"

namespace plat {
class RunLoop;
class RunLoopSource;
}  // namespace plat

// A thread body that runs its thread's run loop until told to stop. Start runs it on a thread of its
// own; a caller that owns the thread calls Run from that thread's body instead.
class CRunLoopThread {
public:
    CRunLoopThread();
    virtual ~CRunLoopThread();
    CRunLoopThread(const CRunLoopThread&) = delete;
    CRunLoopThread& operator=(const CRunLoopThread&) = delete;

    [[nodiscard]] bool Start(int priorityChange);
    // The thread body. Returns at once when Stop came first.
    void Run();
    // Ends the run and waits until the thread has left its loop (and joins the thread that Start
    // made). Prompt also when issued before the thread began to run, and while a callback runs the
    // loop again inside the run: every run of the loop then ends until the outer one has returned.
    // From the loop's own thread it only asks the loop to end.
    void Stop();
    bool IsStopRequested();

    // The running thread's loop, retained for the caller; waits until the thread has stored it.
    // Null once a stop was requested.
    plat::RunLoop* WaitForRunLoop();

protected:
    // Binds the object to a loop that runs elsewhere (the main loop).
    void Attach(plat::RunLoop* loop);

private:
    static void Body(void* self);
    static void KeepStopping(void* self);

    CPsxMutex mMutex;
    plat::Ref<plat::RunLoopSource> mSource;
    plat::RunLoop* mRunLoop = nullptr;  // retained while set
    pthread_t mRunner{};
    bool mInRun = false;
    bool mStopRequested = false;
    bool mAttached = false;
    CPsxThread mThread;
};

// The process-wide object of the same shape bound to the main run loop, made on first use.
class CMainRunLoopSource : public CRunLoopThread {
public:
    static CMainRunLoopSource* Get();

private:
    CMainRunLoopSource();
};
