#include "Lib3/LSources/CoreData/LAsyncWorkerLoop.h"

#include <unistd.h>

#include "Lib3/LSources/CoreData/CMainLoopBase.h"
#include "Lib3/LSources/Mac/CMacTimer.h"
#include "Platform/Foundation/RunLoop.h"

LAsyncWorkerLoop::LAsyncWorkerLoop(CMainLoopBase* mainLoop)
    : mNotifier(mainLoop ? mainLoop->CreateTimer(&Notified, this) : new CMacTimer(&Notified, this)),
      mSource(plat::RunLoopSource::Create(nullptr, nullptr)) {
    if (!mThread.Start(&Body, this, 0)) return;
    while (!mRunLoop.load(std::memory_order_acquire)) usleep(10);
}

LAsyncWorkerLoop::~LAsyncWorkerLoop() {
    mStop.store(true, std::memory_order_release);
    Wake();
    mThread.Join();
    mSource->Invalidate();
    if (plat::RunLoop* loop = mRunLoop.exchange(nullptr)) loop->Release();
    CRefObj::Free(mNotifier);
}

void LAsyncWorkerLoop::Body(void* self) {
    static_cast<LAsyncWorkerLoop*>(self)->ThreadMain();
}

void LAsyncWorkerLoop::ThreadMain() {
    plat::RunLoop* loop = plat::RunLoop::Current();
    (void)loop->AddSource(mSource.get(), plat::kRunLoopCommonModes);  // new and valid: cannot fail
    loop->Retain();
    mRunLoop.store(loop, std::memory_order_release);
    while (!mStop.load(std::memory_order_acquire)) {
        plat::AutoreleasePool pool;
        Lock();
        DeliverSignals();
        FireDueTimers();
        double wait = SecondsToFirstTimer();
        Unlock();
        loop->RunInMode(plat::kRunLoopDefaultMode, wait, true);
    }
    loop->Remove(mSource.get(), plat::kRunLoopCommonModes);
}


void LAsyncWorkerLoop::Wake() {
    // The source is in the loop before the thread publishes it; signalling it is the wake-up.
    mSource->Signal();
}

void LAsyncWorkerLoop::EventPosted() {
    if (!mNotified.exchange(true, std::memory_order_acq_rel)) mNotifier->Fire();
}

void LAsyncWorkerLoop::Notified(void* self, CMacTimer*) {
    auto* loop = static_cast<LAsyncWorkerLoop*>(self);
    loop->mNotified.store(false, std::memory_order_release);
    loop->DrainEvents();
}



