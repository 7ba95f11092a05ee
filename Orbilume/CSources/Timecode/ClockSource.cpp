#include "Orbilume/CSources/Timecode/ClockSource.h"

#include <cmath>

#include "Platform/Foundation/WallClock.h"

ClockSource::ClockSource(LAsyncLoop* loop) : TimecodeSource(loop), LHandler(nullptr), fTimer(this, loop) {}

ClockSource::~ClockSource() {
    fLock->Lock();
    fTimer.Stop();
    fLock->Unlock();
}

void ClockSource::AddListener(void* context, Listener function) {
    fLock->Lock();
    uint32_t before = ListenerCount();
    TimecodeSource::AddListener(context, function);
    if (before == 0 && ListenerCount() > 0) fTimer.Start(0);
    fLock->Unlock();
}

void ClockSource::RemoveListener(void* context, Listener function) {
    fLock->Lock();
    TimecodeSource::RemoveListener(context, function);
    if (ListenerCount() == 0) fTimer.Stop();
    fLock->Unlock();
}

LMessage ClockSource::Handle(const LMessage& msg) {
    if (msg.Is(LAsyncTimer_Expire) && msg.sender == &fTimer) {
        fLock->Lock();
        Poll();
        if (ListenerCount() > 0) fTimer.Start(kPollMs);
        fLock->Unlock();
        return LMessage();
    }
    if (msg.Is(LHandler_Destructing)) return LMessage();
    return LHandler::Handle(msg);
}

void ClockSource::Poll() {
    plat::LocalTime local;
    if (!plat::ToLocalTime(plat::WallClockNow(), local)) return;
    Timecode now;
    now.Init(100);
    int hundredths = int(std::floor(local.fraction * 100.0));
    if (hundredths > 99) hundredths = 99;
    int second = local.second > 59 ? 59 : local.second;  // a leap second shows as :59
    now.Set(uint8_t(local.hour), uint8_t(local.minute), uint8_t(second), uint8_t(hundredths));
    fLock->Lock();
    bool changed = !now.Equals(TimeLocked());
    if (changed) SetTimeLocked(now);
    fLock->Unlock();
    if (changed) Notify();
}
