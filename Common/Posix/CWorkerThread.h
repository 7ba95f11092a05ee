#pragma once

#include <atomic>
#include <cstdint>

#include "Common/Container/CArray.h"
#include "Common/Mac/CRunLoopSignal.h"
#include "Common/Posix/CEventFlag.h"
#include "Common/Posix/CPsxMutex.h"
#include "Common/Posix/CPsxThread.h"

// Producer/consumer base. The main (rendering) thread calls Tick every frame; a job is sampled only
// as often as the consumer keeps pace (the tick interval follows the measured job duration), queued,
// and consumed on the worker thread. A finish request runs on the worker once the queue is empty and
// is completed on the thread that made the object.
//
// Subclasses call StartThread after construction and Stop in their own destructor (before their
// members go), since the worker thread calls their virtual operations.
class CWorkerThread {
public:
    struct Item {
        int64_t time;  // media time of the sample
        uint64_t job;
    };
    enum State : uint32_t { kIdle, kRunning, kFinishRequested, kFinishDone };

    CWorkerThread();
    virtual ~CWorkerThread();
    CWorkerThread(const CWorkerThread&) = delete;
    CWorkerThread& operator=(const CWorkerThread&) = delete;

    [[nodiscard]] bool StartThread() { return mThread.Start(&Body, this, -2); }

    // Main thread.
    void Begin(int64_t interval);
    // The producer's thread (the main thread or a render thread; one thread at a time).
    void Tick(void* argument);
    // Any thread: asks the worker to finish once the queue is empty.
    void Finish();
    // Any thread but the worker: ends the worker thread and joins it.
    void Stop();

    State GetState() const { return State(mState.load(std::memory_order_acquire)); }
    // Milliseconds the producer waits between samples.
    uint32_t TickInterval() const { return mCost8.load(std::memory_order_relaxed) / 8; }
    // Jobs queued and not yet taken by the worker.
    uint32_t QueuedCount();

protected:
    void SetState(State s) { mState.store(s, std::memory_order_release); }

    // Main thread, after FinishWork.
    virtual void CompleteFinish() {}
    // The media time now (in the subclass's units); nowMs receives the millisecond clock.
    virtual int64_t CurrentTime(uint32_t& nowMs) = 0;
    // A job for the sample, or 0 for none.
    virtual uint64_t MakeJob(void* argument) = 0;
    // The thread body; the default runs the consume loop in an autorelease pool.
    virtual void Run();
    // Worker thread.
    virtual void ConsumeJob(const Item& item) = 0;
    virtual void FinishWork() {}

    void Queue(const Item& item);
    // Takes the first queued job (false when none): for jobs queued after the finish, which the
    // worker no longer consumes.
    bool TakeQueued(Item& item);

private:
    static void Body(void* self);
    static void Completed(void* self);
    void ConsumeLoop();

    std::atomic<uint32_t> mCost8{80};  // eight times the mean job duration in ms
    CPsxThread mThread;
    CRunLoopSignal mFinishSignal;
    CPsxMutex mQueueMutex;
    CArray<Item> mQueue;            // queue mutex
    bool mQueuedSinceTake = false;  // queue mutex
    std::atomic<bool> mStop{false};
    CEventFlag mWake;
    std::atomic<uint32_t> mState{kIdle};
    uint32_t mLastTick = 0;
    int64_t mInterval = 0;
    int64_t mNextTime = 0;
    uint32_t mBeganAt = 0;
    uint32_t mFinishAt = 0;
    uint32_t mCount = 0;
};
