#include "Common/Posix/CWorkerThread.h"

#include <algorithm>

#include "Lib3/LSources/CoreData/LTimer.h"
#include "Platform/Foundation/Check.h"
#include "Platform/Foundation/Object.h"

CWorkerThread::CWorkerThread() : mFinishSignal(this, &Completed) {}

CWorkerThread::~CWorkerThread() {
    Stop();
}

void CWorkerThread::Begin(int64_t interval) {
    PLAT_DCHECK_MAIN_THREAD();
    mCost8.store(80, std::memory_order_relaxed);
    {
        CPsxMutex::Locker lock(mQueueMutex);
        mQueuedSinceTake = false;
    }
    mInterval = interval;
    mLastTick = mBeganAt = LTimer::Now();
    mCount = 0;
    mNextTime = interval;
}

void CWorkerThread::Tick(void* argument) {
    if (GetState() != kRunning) return;
    if (int32_t(LTimer::Now() - mLastTick) < int32_t(mCost8.load(std::memory_order_relaxed) / 8)) return;
    uint32_t now = 0;
    int64_t t = CurrentTime(now);
    if (t < mNextTime) return;
    uint64_t job = MakeJob(argument);
    if (!job) return;
    Queue({t, job});
    mLastTick = now;
    mNextTime = std::max(mNextTime + mInterval, t);
    ++mCount;
}

void CWorkerThread::Queue(const Item& item) {
    {
        CPsxMutex::Locker lock(mQueueMutex);
        if (mQueuedSinceTake) {
            // The worker lags: sample less often.
            uint32_t c = mCost8.load(std::memory_order_relaxed);
            mCost8.store(c - c / 8 + (c < 8 ? 2 : (c / 4) & ~1u), std::memory_order_relaxed);
        }
        mQueue.Append(item);
        mQueuedSinceTake = true;
    }
    mWake.Set();
}

bool CWorkerThread::TakeQueued(Item& item) {
    CPsxMutex::Locker lock(mQueueMutex);
    if (mQueue.Count() == 0) return false;
    item = mQueue[0];
    mQueue.Remove(0);
    return true;
}

uint32_t CWorkerThread::QueuedCount() {
    CPsxMutex::Locker lock(mQueueMutex);
    return mQueue.Count();
}

void CWorkerThread::Finish() {
    uint32_t running = kRunning;
    if (!mState.compare_exchange_strong(running, kFinishRequested, std::memory_order_acq_rel)) return;
    mFinishAt = LTimer::Now();
    mWake.Set();
}

void CWorkerThread::Stop() {
    mStop.store(true, std::memory_order_release);
    mWake.Set();
    mThread.Join();
}

void CWorkerThread::Body(void* self) {
    static_cast<CWorkerThread*>(self)->Run();
}

void CWorkerThread::Run() {
    plat::AutoreleasePool pool;
    ConsumeLoop();
}

void CWorkerThread::ConsumeLoop() {
    mWake.Wait();
    if (mStop.load(std::memory_order_acquire)) return;
    for (;;) {
        Item item;
        bool took = false;
        {
            CPsxMutex::Locker lock(mQueueMutex);
            if (mQueue.Count() > 0) {
                item = mQueue[0];
                mQueue.Remove(0);
                mQueuedSinceTake = false;
                took = true;
            }
        }
        if (!took) {
            if (GetState() == kFinishRequested) {
                FinishWork();
                SetState(kFinishDone);
                mFinishSignal.Signal();
            }
            mWake.Wait();
            if (mStop.load(std::memory_order_acquire)) return;
            continue;
        }
        uint32_t t0 = LTimer::Now();
        ConsumeJob(item);
        uint32_t c = mCost8.load(std::memory_order_relaxed);
        mCost8.store(c - c / 8 + (LTimer::Now() - t0), std::memory_order_relaxed);
        if (mStop.load(std::memory_order_acquire)) return;
    }
}

void CWorkerThread::Completed(void* self) {
    auto* w = static_cast<CWorkerThread*>(self);
    if (w->GetState() != kFinishDone) return;
    w->CompleteFinish();
    w->SetState(kIdle);
}
