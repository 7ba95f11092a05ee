#include "Lib3/LSources/CoreData/LAsyncMainLoop.h"

#include "Platform/Foundation/Check.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/RunLoop.h"

namespace {
constexpr double kFarAway = 1e9;
}  // namespace

LAsyncMainLoop::LAsyncMainLoop()
    : mSource(plat::RunLoopSource::Create(&Perform, this)),
      mTimer(plat::RunLoopTimer::Create(plat::ClockNow() + kFarAway, kFarAway, &TimerFired, this)) {
    PLAT_DCHECK_MAIN_THREAD();
    (void)plat::RunLoop::Main()->AddSource(mSource.get(),
                                           plat::kRunLoopCommonModes);  // new and valid: cannot fail
    (void)plat::RunLoop::Main()->AddTimer(mTimer.get(), plat::kRunLoopCommonModes);  // new: cannot fail
}

LAsyncMainLoop::~LAsyncMainLoop() {
    PLAT_DCHECK_MAIN_THREAD();
    mTimer->Invalidate();
    mSource->Invalidate();
}

plat::RunLoop* LAsyncMainLoop::RunLoop() {
    return plat::RunLoop::Main();
}

void LAsyncMainLoop::Wake() {
    mSource->Signal();
}

void LAsyncMainLoop::EventPosted() {
    if (!mEventsPosted.exchange(true, std::memory_order_acq_rel)) Wake();
}




void LAsyncMainLoop::Perform(void* self) {
    static_cast<LAsyncMainLoop*>(self)->Pass();
}

void LAsyncMainLoop::TimerFired(plat::RunLoopTimer*, void* self) {
    static_cast<LAsyncMainLoop*>(self)->Pass();
}

void LAsyncMainLoop::Pass() {
    Lock();
    DeliverSignals();
    FireDueTimers();
    ArmTimer();
    Unlock();
    if (mEventsPosted.exchange(false, std::memory_order_acq_rel)) DrainEvents();
}


void LAsyncMainLoop::ArmTimer() {
    double wait = mTimers.IsEmpty() ? kFarAway : SecondsToFirstTimer();
    mTimer->SetNextFireDate(plat::ClockNow() + wait);
}
