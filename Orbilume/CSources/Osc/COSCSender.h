#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "Lib3/LSources/CoreData/LHandler.h"
#include "Orbilume/CSources/Net/CNetAddress.h"
#include "Orbilume/CSources/Osc/OscArg.h"

class CUDPPort;
class LAsyncLoop;

// A packet went out (sender: the COSCSender), after the port's "CUDPPort_Sent".
L_MESSAGE_ID(COSCSender_UDP_SentA);

// Sends OSC messages over a CUDPPort of the main thread, in order, one packet in flight. The queue is
// bounded: when it is full a new message is dropped and counted, never waited for. Queue changes
// happen under the loop lock of the loop given at construction. Main thread only.
class COSCSender : public LHandler {
public:
    static constexpr uint32_t kMaxQueued = 256;

    COSCSender(LHandler* upper, LAsyncLoop* loop);
    ~COSCSender() override;

    // The port's open result (0 ok, 1 error, 2 address in use), on a free local port bound to the
    // local address (host order, 0 the wildcard).
    [[nodiscard]] int Open(uint32_t localAddress = 0);
    void Close();
    bool IsOpen() const;
    uint16_t LocalPort() const;

    // Builds one message and queues it; nothing when the port is not open or the queue is full.
    void SendMessage(const CNetAddress& to, const char* address, const OscArg* args, uint32_t count,
                     bool callerHoldsLock = false);

    uint32_t QueuedCount() const { return uint32_t(fQueue.size()); }
    uint64_t DroppedCount() const { return fDropped; }

    LMessage Handle(const LMessage& msg) override;

private:
    struct Packet {
        CNetAddress to;
        std::vector<uint8_t> bytes;
    };
    void SendNext();

    LAsyncLoop* fLoop;
    std::unique_ptr<CUDPPort> fPort;
    std::deque<Packet> fQueue;  // the first is in flight
    uint64_t fDropped = 0;
    bool fInFlight = false;
};
