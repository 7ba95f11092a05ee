#pragma once

#include <atomic>
#include <cstdint>

#include "Common/Posix/CPsxMutex.h"
#include "Orbilume/CSources/Net/CNetAddress.h"

class CRunLoopTimer;
class CRunLoopThread;

// The identity of a DMX source: kind (1 USB, 2 OSC "/dmx", 3 Art-Net, 4 sACN; 0 none), priority
// (larger wins) and the sender's address (zero for USB and OSC).
struct DmxInSource {
    enum : uint32_t { kNone = 0, kUsb = 1, kOsc = 2, kArtNet = 3, kSAcn = 4 };
    uint32_t kind = kNone;
    uint32_t priority = 0;
    CNetAddress address;
};

// Chooses one DMX512 source among all received: the current source keeps its place until a source
// of higher priority arrives or it has been silent for its kind's time-out. The latest accepted
// frame reaches the sink on the main run loop; offers in a burst give one delivery.
class CDmxInMerge {
public:
    // Start code and slots (count bytes, 1..513), main thread; called without the merge's lock held.
    using Sink = void (*)(void* context, const DmxInSource& source, const uint8_t* data, uint32_t count);

    // The delivery timer runs on loop (the main run loop when null).
    CDmxInMerge(void* sinkContext, Sink sink, CRunLoopThread* loop = nullptr);
    ~CDmxInMerge();
    CDmxInMerge(const CDmxInMerge&) = delete;
    CDmxInMerge& operator=(const CDmxInMerge&) = delete;

    // Any thread: slot count slots (start code excluded; more than 512 are cut). Allocates nothing.
    void Offer(const DmxInSource& source, uint32_t count, const uint8_t* slots);

    // Hands the latest accepted frame to the sink (the timer's work; tests call it directly).
    void Deliver();

    DmxInSource Current();
    // Silence time-out of a kind in ms (0 for kind 0 and unknown kinds).
    static uint32_t TimeoutMs(uint32_t kind);

private:
    static void Fire(void* self);

    void* fSinkContext;
    Sink fSink;
    CPsxMutex fMutex;
    DmxInSource fCurrent;
    uint32_t fLastAccepted = 0;
    uint32_t fLength = 0;
    uint8_t fData[513] = {};  // start code (always 0), then the slots
    std::atomic<bool> fPending{false};
    CRunLoopTimer* fTimer;
    // Delivery copy, main thread only.
    uint8_t fOut[513] = {};
};
