#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Orbilume/CSources/Osc/OscArg.h"
#include "Orbilume/CSources/Osc/OscParser.h"
#include "Orbilume/CSources/Osc/OscPattern.h"

class CRunLoopSignal;
class CUdpSocket;
class OscListener;
struct CNetAddress;

// Receives OSC datagrams on a UDP port, answers "/ping" with "/pong" (the same arguments) and hands
// every other complete message to the listener. The socket's readiness arrives on the watcher thread
// and only signals a run-loop signal of the creating thread, which does all the work. Each pass reads
// at most kDatagramsPerPass datagrams and signals again, so a flood never holds the thread.
class OscServer {
public:
    static constexpr uint32_t kMaxDatagram = 1536;
    static constexpr uint32_t kDatagramsPerPass = 256;

    explicit OscServer(OscListener* listener);
    ~OscServer();
    OscServer(const OscServer&) = delete;
    OscServer& operator=(const OscServer&) = delete;

    // 0 or the socket's error code. IPv4 on the port (no sharing), bound to the local address (host
    // order, 0 the wildcard). Reads what is already queued at once.
    [[nodiscard]] int Open(uint16_t port, uint32_t localAddress = 0);
    void Close();
    bool IsOpen() const;
    uint16_t LocalPort() const;

    // Messages dropped (unknown tags, no type tags, cut short), for tests and debug logs.
    uint64_t DroppedCount() const { return fDropped; }
    uint64_t DatagramCount() const { return fDatagrams; }

    // Parses one datagram (data[length] must be a readable zero byte) and delivers its messages;
    // the receive loop calls it, the fuzz target too.
    void HandleDatagram(const uint8_t* data, uint32_t length, const CNetAddress& source);

private:
    static void Ready(void* self, int event);
    static void Perform(void* self);
    void ReceivePass();
    void Deliver(const CNetAddress& source);
    void Pong(const CNetAddress& source);

    OscListener* fListener;
    OscParser fParser;
    OscPattern fPattern;
    std::vector<OscArg> fArgs;
    std::unique_ptr<CRunLoopSignal> fSignal;
    std::unique_ptr<CUdpSocket> fSocket;
    uint8_t fBuffer[kMaxDatagram + 1] = {};
    uint64_t fDropped = 0;
    uint64_t fDatagrams = 0;
};
