#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "Platform/Video/DisplayLink.h"

// Paces a render thread to the displays' refresh: the rate is learnt at Start, and WaitForVSync
// blocks until the next refresh, at most about two refresh periods.
class CDisplayLinkClock {
public:
    CDisplayLinkClock();
    ~CDisplayLinkClock();
    CDisplayLinkClock(const CDisplayLinkClock&) = delete;
    CDisplayLinkClock& operator=(const CDisplayLinkClock&) = delete;

    // A link that cannot start is dropped: WaitForVSync then returns false at once.
    void Start();
    // True when a refresh came; false without a link, on timeout or once the clock is closed.
    bool WaitForVSync();
    // Wakes every wait and makes later ones return at once (an owner about to stop its thread).
    void Close();

    int32_t rate() const { return fRate; }
    // Threads inside WaitForVSync now (a tick from here on wakes them).
    int32_t Waiters();
    bool hasLink() const { return fLink != nullptr; }
    plat::DisplayLink* link() const { return fLink.get(); }

    // Frames per second of a refresh period, rounded; a period that is indefinite, zero or
    // negative leaves the previous rate.
    static int32_t RateOfPeriod(const plat::VideoTime& period, int32_t previous);

private:
    // On the display link's thread: counts the refresh and wakes the threads waiting for it.
    static int32_t OutputCallback(plat::DisplayLink* link, uint64_t hostTime, void* context);

    plat::Ref<plat::DisplayLink> fLink;
    int32_t fRate = 60;
    std::mutex fMutex;
    std::condition_variable fTick;
    uint64_t fTicks = 0;
    int32_t fWaiters = 0;
    bool fClosing = false;
};
