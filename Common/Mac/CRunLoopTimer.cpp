#include "Common/Mac/CRunLoopTimer.h"

#include "Common/Mac/CRunLoopThread.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/RunLoop.h"

namespace {
constexpr double kParked = 31536000000.0;  // about a millennium
}

CRunLoopTimer::CRunLoopTimer(CRunLoopThread* thread, void* context, Callback callback)
    : mThread(thread),
      mContext(context),
      mCallback(callback),
      mTimer(plat::RunLoopTimer::Create(plat::ClockNow() + kParked, kParked, &Fire, this)) {}

CRunLoopTimer::~CRunLoopTimer() {
    mTimer->Invalidate();
}

void CRunLoopTimer::FireAfter(double ms) {
    {
        CPsxMutex::Locker lock(mMutex);
        if (!mAdded) {
            plat::RunLoop* loop = mThread->WaitForRunLoop();
            if (!loop) return;
            (void)loop->AddTimer(mTimer.get(), plat::kRunLoopCommonModes);  // valid, in no loop yet
            loop->Release();
            mAdded = true;
        }
    }
    mTimer->SetNextFireDate(plat::ClockNow() + ms * 0.001);
}

void CRunLoopTimer::Fire(plat::RunLoopTimer*, void* self) {
    auto* t = static_cast<CRunLoopTimer*>(self);
    plat::AutoreleasePool pool;
    if (t->mCallback) t->mCallback(t->mContext);
}
