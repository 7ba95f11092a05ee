#include "Common/Mac/CRunLoopThread.h"

#include <unistd.h>

#include "Platform/Foundation/RunLoop.h"

CRunLoopThread::CRunLoopThread() : mSource(plat::RunLoopSource::Create(&KeepStopping, this)) {}

CRunLoopThread::~CRunLoopThread() {
    Stop();
    mSource->Invalidate();
}

bool CRunLoopThread::Start(int priorityChange) {
    if (mThread.IsRunning()) return false;
    if (mThread.Start(&Body, this, priorityChange)) return true;
    // No thread will run the loop: waiters for it (FireAfter) must give up, not spin forever.
    CPsxMutex::Locker lock(mMutex);
    if (!mInRun && !mAttached) mStopRequested = true;
    return false;
}

void CRunLoopThread::Body(void* self) {
    static_cast<CRunLoopThread*>(self)->Run();
}

void CRunLoopThread::Run() {
    plat::RunLoop* loop = plat::RunLoop::Current();
    {
        CPsxMutex::Locker lock(mMutex);
        if (mStopRequested || mInRun || mAttached) return;
        mInRun = true;
        mRunner = pthread_self();
        loop->Retain();
        mRunLoop = loop;
    }
    // The source keeps the loop from running out of things to wait for.
    (void)loop->AddSource(mSource.get(), plat::kRunLoopCommonModes);  // valid until destruction
    // A stop between the check above and Run is sticky, so it still ends the run.
    while (!IsStopRequested()) loop->Run();
    loop->Remove(mSource.get(), plat::kRunLoopCommonModes);
    {
        CPsxMutex::Locker lock(mMutex);
        mRunLoop = nullptr;
        mInRun = false;
    }
    loop->Release();
}

// A run nested in a callback takes the loop's stop for itself, and the outer run would then wait
// on. So while a stop is requested the source keeps itself signalled and stops the loop again on
// every turn, until the outer run has returned and removed it.
void CRunLoopThread::KeepStopping(void* self) {
    auto* t = static_cast<CRunLoopThread*>(self);
    plat::RunLoop* loop;
    {
        CPsxMutex::Locker lock(t->mMutex);
        if (!t->mStopRequested || !t->mInRun) return;
        loop = t->mRunLoop;
    }
    loop->Stop();
    t->mSource->Signal();
}

bool CRunLoopThread::IsStopRequested() {
    CPsxMutex::Locker lock(mMutex);
    return mStopRequested;
}

void CRunLoopThread::Stop() {
    plat::RunLoop* loop;
    bool self;
    {
        CPsxMutex::Locker lock(mMutex);
        if (mAttached) return;  // the main loop is not ours to stop
        mStopRequested = true;
        loop = mRunLoop;
        if (loop) loop->Retain();
        self = mInRun && pthread_equal(mRunner, pthread_self());
    }
    if (loop) {
        loop->Stop();
        mSource->Signal();
        loop->Release();
    }
    if (self) return;
    for (;;) {
        {
            CPsxMutex::Locker lock(mMutex);
            if (!mInRun) break;
        }
        usleep(1000);
    }
    if (!mThread.IsCurrent()) mThread.Join();
}

plat::RunLoop* CRunLoopThread::WaitForRunLoop() {
    for (;;) {
        {
            CPsxMutex::Locker lock(mMutex);
            if (mStopRequested) return nullptr;
            if (mRunLoop) {
                mRunLoop->Retain();
                return mRunLoop;
            }
        }
        usleep(1000);
    }
}

void CRunLoopThread::Attach(plat::RunLoop* loop) {
    CPsxMutex::Locker lock(mMutex);
    mAttached = true;
    loop->Retain();
    mRunLoop = loop;
    (void)loop->AddSource(mSource.get(), plat::kRunLoopCommonModes);  // valid until destruction
}

CMainRunLoopSource::CMainRunLoopSource() {
    Attach(plat::RunLoop::Main());
}

CMainRunLoopSource* CMainRunLoopSource::Get() {
    static CMainRunLoopSource* source = new CMainRunLoopSource;  // kept for the process
    return source;
}
