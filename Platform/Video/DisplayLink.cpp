#include "Platform/Video/DisplayLink.h"

#include <chrono>
#include <cmath>

#include "Platform/AppKit/Screen.h"
#include "Platform/Foundation/Check.h"
#include "Platform/Video/HostTime.h"

namespace plat {

namespace {

std::mutex gSettingsMutex;
DisplayLinkSettings gSettings;

// The tick interval of a period; a missing or nonsensical period ticks at 60 Hz.
uint64_t IntervalNs(const VideoTime& period) {
    if ((period.flags & kVideoTimeIsIndefinite) || period.value <= 0 || period.scale <= 0)
        return kHostTimeFrequency / 60;
    return static_cast<uint64_t>(period.value) * kHostTimeFrequency / static_cast<uint64_t>(period.scale);
}

// The first screen's refresh period: whole rates as 1 / rate, others in thousandths (59.94 Hz is
// 1000 / 59940).
VideoTime ScreenPeriod() {
    Screen screen;
    const double rate = FirstScreen(&screen) ? screen.refreshRate : 0;
    if (!std::isfinite(rate) || rate < 1 || rate > 1000) return {1, 60, 0};
    if (rate == std::floor(rate)) return {1, static_cast<int32_t>(rate), 0};
    return {1000, static_cast<int32_t>(std::llround(rate * 1000)), 0};
}

}  // namespace

void SetDisplayLinkSettings(const DisplayLinkSettings& settings) {
    std::lock_guard<std::mutex> lock(gSettingsMutex);
    gSettings = settings;
}

DisplayLinkSettings GetDisplayLinkSettings() {
    std::lock_guard<std::mutex> lock(gSettingsMutex);
    return gSettings;
}

Ref<DisplayLink> DisplayLink::CreateWithActiveDisplays() {
    PLAT_DCHECK_MAIN_THREAD();
    DisplayLinkSettings settings = GetDisplayLinkSettings();
    if (!settings.available) return nullptr;
    const VideoTime& p = settings.nominalPeriod;
    if (p.value == 0 && p.scale == 0 && p.flags == 0) settings.nominalPeriod = ScreenPeriod();
    return Adopt(new DisplayLink(settings));
}

DisplayLink::DisplayLink(const DisplayLinkSettings& settings)
    : fPeriod(settings.nominalPeriod), fManual(settings.manualTicks) {}

DisplayLink::~DisplayLink() {
    Stop();
    if (fThread.joinable()) fThread.detach();  // only when the last release came from the callback
}

void DisplayLink::SetOutputCallback(DisplayLinkCallback callback, void* context) {
    std::lock_guard<std::mutex> lock(fMutex);
    fCallback = callback;
    fContext = context;
}

bool DisplayLink::Start() {
    std::unique_lock<std::mutex> lock(fMutex);
    if (fRunning) return true;
    if (fThread.joinable()) {
        // Stopped from its own callback earlier; that thread has left its loop or is about to.
        lock.unlock();
        fThread.join();
        lock.lock();
    }
    fRunning = true;
    fQuit = false;
    if (!fManual) fThread = std::thread([this] { Run(); });
    return true;
}

void DisplayLink::Stop() {
    std::unique_lock<std::mutex> lock(fMutex);
    fRunning = false;
    fQuit = true;
    fWake.notify_all();
    lock.unlock();
    if (fThread.joinable() && fThread.get_id() != std::this_thread::get_id()) fThread.join();
}

bool DisplayLink::IsRunning() const {
    std::lock_guard<std::mutex> lock(fMutex);
    return fRunning;
}

bool DisplayLink::Tick() {
    {
        std::lock_guard<std::mutex> lock(fMutex);
        if (!fRunning) return false;
    }
    Fire();
    return true;
}

void DisplayLink::Fire() {
    DisplayLinkCallback callback;
    void* context;
    {
        std::lock_guard<std::mutex> lock(fMutex);
        callback = fCallback;
        context = fContext;
    }
    if (callback) callback(this, HostTimeNow(), context);
}

void DisplayLink::Run() {
    const auto interval = std::chrono::nanoseconds(IntervalNs(fPeriod));
    auto next = std::chrono::steady_clock::now() + interval;
    std::unique_lock<std::mutex> lock(fMutex);
    while (!fQuit) {
        if (fWake.wait_until(lock, next, [this] { return fQuit; })) break;
        lock.unlock();
        Fire();
        lock.lock();
        next += interval;
        auto now = std::chrono::steady_clock::now();
        if (next < now) next = now + interval;  // skip refreshes missed while the callback ran long
    }
}

}  // namespace plat
