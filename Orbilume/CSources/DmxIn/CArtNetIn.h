#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/LAsyncLoop.h"
#include "Lib3/LSources/CoreData/LHandler.h"
#include "Orbilume/CSources/DmxIn/DmxPackets.h"
#include "Orbilume/CSources/Net/CUdpMuxLink.h"

// Receives ArtDmx on UDP 6454 through the multiplexer, so that several processes share the port.
// Readiness only raises a signal; reading, the checks and the callback run on the owner's loop.
class CArtNetIn : public LHandler {
public:
    // The whole datagram (header included); length bytes of it are valid.
    using Callback = void (*)(void* context, const CNetAddress& from, uint32_t length,
                              const uint8_t* datagram);

    CArtNetIn(LHandler* upper, LAsyncLoop* loop, void* context, Callback callback,
              CUdpMuxLink::Config config = CUdpMuxLink::Config());
    ~CArtNetIn() override;

    // Loop thread: clears a failure and starts the link; true when connected now.
    bool Start();
    bool IsConnected() const { return fLink.IsConnected(); }
    void Stop();
    CUdpMuxLink& Link() { return fLink; }
    uint32_t Dropped() const { return fDropped; }

    LMessage Handle(const LMessage& msg) override;

private:
    static void LinkEvent(void* self, int event);
    void ReceivePass();

    LAsyncSignal fSignal;
    CUdpMuxLink fLink;
    void* fContext;
    Callback fCallback;
    uint32_t fDropped = 0;
    uint8_t fBuffer[dmxpkt::kArtDmxSize] = {};
};
