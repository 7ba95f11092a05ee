#include "Lib3/LSources/Mac/CMacTimer.h"

#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Event.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/RunLoop.h"

namespace {
constexpr double kParked = 3153600000.0;  // about a century
}

CMacTimer::CMacTimer(Callback callback, void* context)
    : mCallback(callback),
      mContext(context),
      mTimer(plat::RunLoopTimer::Create(plat::ClockNow() + kParked, kParked, &Expired, this)) {
    (void)plat::RunLoop::Main()->AddTimer(mTimer.get(), plat::kRunLoopCommonModes);  // new: cannot fail
}

CMacTimer::~CMacTimer() {
    mTimer->Invalidate();
}

void CMacTimer::Fire() {
    if (mArmed.exchange(true, std::memory_order_acq_rel)) return;
    mTimer->SetNextFireDate(plat::ClockNow());
}

void CMacTimer::Expired(plat::RunLoopTimer*, void* self) {
    auto* t = static_cast<CMacTimer*>(self);
    // Cleared before the call: a Fire during the callback brings another one. An exchange, so that
    // the callback sees what a Fire that found the flag set had written before.
    t->mArmed.exchange(false, std::memory_order_acq_rel);
    if (t->mCallback) t->mCallback(t->mContext, t);
    // Wakes a modal step that waits for an event.
    plat::Event wake;
    wake.type = plat::EventType::kApplicationDefined;
    plat::Application::Shared()->PostEvent(wake, false);
}
