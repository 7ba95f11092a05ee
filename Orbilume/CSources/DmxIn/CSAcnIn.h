#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/LAsyncLoop.h"
#include "Lib3/LSources/CoreData/LHandler.h"
#include "Orbilume/CSources/DmxIn/DmxPackets.h"
#include "Orbilume/CSources/Net/CUdpSocket.h"

// Receives E1.31 data packets on UDP 5568 (shared with SO_REUSEPORT) from the multicast group of the
// selected universe. Readiness only raises a signal; reading, checking and the callback run on the
// owner's loop thread. Packets that fail a check are dropped and counted.
class CSAcnIn : public LHandler {
public:
    // values: count property values, start code (always 0) first.
    using Callback = void (*)(void* context, const CNetAddress& from, uint8_t priority, uint32_t count,
                              const uint8_t* values);

    CSAcnIn(LHandler* upper, LAsyncLoop* loop, void* context, Callback callback);
    ~CSAcnIn() override;

    // Opens the port (tests pass another port) and drains what is queued under the loop's lock.
    [[nodiscard]] bool Open(uint16_t port = dmxpkt::kSAcnPort);
    bool IsOpen() const { return fSocket.IsOpen(); }
    void Close();

    // Joins 239.255.hi.lo of the universe, leaving the previous group. Nothing when closed, and
    // universes outside 1..63999 are refused (false), keeping the previous group.
    bool SetUniverse(int32_t universe);
    int32_t Universe() const { return fUniverse; }

    uint32_t Dropped() const { return fDropped; }
    static uint32_t GroupOf(int32_t universe) { return 0xEFFF0000u | uint32_t(universe); }

    LMessage Handle(const LMessage& msg) override;

private:
    static void Ready(void* self, int event);
    void ReceivePass();

    LAsyncLoop* fLoop;
    LAsyncSignal fSignal;
    CUdpSocket fSocket;
    int32_t fUniverse = -1;
    void* fContext;
    Callback fCallback;
    uint32_t fDropped = 0;
    uint8_t fBuffer[dmxpkt::kE131MaxSize] = {};
};
