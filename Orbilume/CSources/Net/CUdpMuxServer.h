#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "Common/Posix/CEventFlag.h"
#include "Common/Posix/CPsxMutex.h"
#include "Common/Posix/CPsxThread.h"
#include "Orbilume/CSources/Net/CFramedStream.h"
#include "Orbilume/CSources/Net/CNamedStream.h"
#include "Orbilume/CSources/Net/CUdpSocket.h"

// The multiplexer's server: the process that holds the UDP port relays each datagram to every local
// client as a frame and sends the clients' frames out of the port. Its relay thread starts at
// construction, one priority step above its creator's, and serves while the port is held.
class CUdpMuxServer {
public:
    static constexpr uint32_t kMaxClients = 32;
    static constexpr uint32_t kMaxDatagramsPerTurn = 64;

    CUdpMuxServer();
    ~CUdpMuxServer();
    CUdpMuxServer(const CUdpMuxServer&) = delete;
    CUdpMuxServer& operator=(const CUdpMuxServer&) = delete;

    // The election: up to 3 tries 10 ms apart to bind the port exclusively and listen on folder/name.
    // False when another process serves. bindAddress (host order, 0 the wildcard) is for tests.
    bool Start(uint16_t port, const std::string& folder, const char* name, uint32_t bindAddress = 0);
    void Stop();
    bool IsServing();
    uint32_t ClientCount();
    // The relay thread's policy and priority.
    bool RelaySchedule(int& policy, int& priority) const { return fThread.GetSchedule(policy, priority); }
    // CPU time the relay thread has used, in seconds.
    double RelayCpuSeconds() const { return fThread.CpuSeconds(); }

private:
    struct Client {
        CUdpMuxServer* server;
        CNamedStream* stream;
        CFramedStream framed;
        Client(CUdpMuxServer* s, CNamedStream* n) : server(s), stream(n), framed(n) {}
    };
    static void Wake(void* self, int event);
    static void Body(void* self) { static_cast<CUdpMuxServer*>(self)->Run(); }
    void Run();
    void Turn();
    void RemoveClient(size_t index);

    CPsxMutex fMutex;
    std::atomic<bool> fStop{false};
    CEventFlag fWake;
    CUdpSocket fUdp;
    CNamedStream fListener;
    std::vector<Client*> fClients;
    uint32_t fNext = 0;
    uint8_t fDatagram[2048];
    CPsxThread fThread;
};
