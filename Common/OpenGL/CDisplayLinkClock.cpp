#include "Common/OpenGL/CDisplayLinkClock.h"

#include <chrono>

CDisplayLinkClock::CDisplayLinkClock() {
    fLink = plat::DisplayLink::CreateWithActiveDisplays();
    if (fLink) fLink->SetOutputCallback(&CDisplayLinkClock::OutputCallback, this);
}

CDisplayLinkClock::~CDisplayLinkClock() {
    if (fLink) fLink->Stop();  // no callback runs after this
    std::unique_lock<std::mutex> lock(fMutex);
    fClosing = true;
    fTick.notify_all();
    fTick.wait(lock, [this] { return fWaiters == 0; });
}

int32_t CDisplayLinkClock::RateOfPeriod(const plat::VideoTime& period, int32_t previous) {
    if ((period.flags & plat::kVideoTimeIsIndefinite) || period.value <= 0 || period.scale <= 0)
        return previous;
    const int64_t rate = (period.scale + period.value / 2) / period.value;
    return rate >= 1 && rate <= 100000 ? static_cast<int32_t>(rate) : previous;
}

void CDisplayLinkClock::Start() {
    if (!fLink) return;
    fRate = RateOfPeriod(fLink->NominalOutputVideoRefreshPeriod(), fRate);
    if (!fLink->Start()) fLink = nullptr;
}

bool CDisplayLinkClock::WaitForVSync() {
    if (!fLink) return false;
    const auto timeout = std::chrono::microseconds(2000000 / (fRate > 0 ? fRate : 60) + 1000);
    std::unique_lock<std::mutex> lock(fMutex);
    if (fClosing) return false;
    const uint64_t seen = fTicks;
    ++fWaiters;
    const bool ticked =
        fTick.wait_for(lock, timeout, [&] { return fTicks != seen || fClosing; }) && !fClosing;
    if (--fWaiters == 0 && fClosing) fTick.notify_all();
    return ticked;
}

void CDisplayLinkClock::Close() {
    std::lock_guard<std::mutex> lock(fMutex);
    fClosing = true;
    fTick.notify_all();
}

int32_t CDisplayLinkClock::Waiters() {
    std::lock_guard<std::mutex> lock(fMutex);
    return fWaiters;
}

int32_t CDisplayLinkClock::OutputCallback(plat::DisplayLink*, uint64_t, void* context) {
    auto* self = static_cast<CDisplayLinkClock*>(context);
    std::lock_guard<std::mutex> lock(self->fMutex);
    ++self->fTicks;
    self->fTick.notify_all();
    return 0;
}
