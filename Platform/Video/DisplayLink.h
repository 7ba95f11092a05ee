#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "Platform/Foundation/Object.h"

namespace plat {

// A span of time as value / scale seconds.
struct VideoTime {
    int64_t value = 0;
    int32_t scale = 0;
    uint32_t flags = 0;
};
constexpr uint32_t kVideoTimeIsIndefinite = 1;

// How display links behave in this process. The real backend ticks on a thread at the displays'
// nominal rate; tests switch to manual ticks, a chosen period, or no link at all.
struct DisplayLinkSettings {
    bool available = true;     // false: creation fails
    bool manualTicks = false;  // true: no thread; ticks come only from DisplayLink::Tick
    // All zero: the first screen's refresh rate, 60 Hz when there is no screen or it reports none.
    VideoTime nominalPeriod{};
};
void SetDisplayLinkSettings(const DisplayLinkSettings& settings);
DisplayLinkSettings GetDisplayLinkSettings();

class DisplayLink;
// Called once per refresh on the link's thread with the host time of the refresh; returns 0.
using DisplayLinkCallback = int32_t (*)(DisplayLink* link, uint64_t hostTime, void* context);

class DisplayLink final : public Object {
public:
    // An owned reference to a link for all active displays, or null when none can be made. It reads
    // the window system's screens, so make it on the main thread.
    static Ref<DisplayLink> CreateWithActiveDisplays();

    // Set while the link is stopped.
    void SetOutputCallback(DisplayLinkCallback callback, void* context);
    VideoTime NominalOutputVideoRefreshPeriod() const { return fPeriod; }

    [[nodiscard]] bool Start();
    // Stops ticking and waits until no callback runs (unless called from the callback itself).
    void Stop();
    bool IsRunning() const;

    // Manual ticks: runs the callback once on the calling thread when the link is running.
    bool Tick();

private:
    DisplayLink(const DisplayLinkSettings& settings);
    ~DisplayLink() override;
    void Run();
    void Fire();

    VideoTime fPeriod;
    bool fManual;
    DisplayLinkCallback fCallback = nullptr;
    void* fContext = nullptr;

    mutable std::mutex fMutex;
    std::condition_variable fWake;
    std::thread fThread;
    bool fRunning = false;
    bool fQuit = false;
};

}  // namespace plat
