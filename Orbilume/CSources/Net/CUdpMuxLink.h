#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "Lib3/LSources/CoreData/LAsyncLoop.h"
#include "Lib3/LSources/CoreData/LHandler.h"
#include "Orbilume/CSources/Net/CFramedStream.h"
#include "Orbilume/CSources/Net/CNamedStream.h"
#include "Orbilume/CSources/Net/CUdpMuxServer.h"

// What a receiver embeds to share a UDP port with other processes: it runs the server election and
// reads the port's datagrams through its client connection. A lost or failed connection starts over
// by itself after a back-off (100 ms doubling to 5 s). Start, Stop and Receive run on the loop's
// thread; the callback comes from the watcher thread (0 data may be readable, 1 connected, 2 failed).
class CUdpMuxLink : public LHandler {
public:
    enum : int { kData = 0, kConnected = 1, kFailed = 2 };
    using Callback = void (*)(void* owner, int event);

    struct Config {
        uint16_t port = 6454;
        std::string folder;  // empty: CNamedStream::DefaultFolder()
        const char* name = "tessaroudpmuxsvran";
        uint32_t bindAddress = 0;  // host order; 0 the wildcard
    };

    CUdpMuxLink(LHandler* upper, LAsyncLoop* loop, void* owner, Callback callback, Config config);
    ~CUdpMuxLink() override;

    // Nothing while failed or connected; otherwise the election and the client connection.
    void Start();
    // Clears the failed state, then Start.
    void Restart();
    // Disconnects, stops serving and stays failed until Restart.
    void Stop();
    // A datagram's first size bytes and its source; 0 when none waits; -1 when not connected or the
    // connection broke (a restart is then scheduled).
    int32_t Receive(CNetAddress& from, void* buffer, uint32_t size);

    bool IsConnected() const { return fConnected.load(); }
    bool IsFailed() const { return fFailed.load(); }
    bool IsServing() { return fServer.IsServing(); }
    uint32_t RetryDelayMs() const { return fBackoffMs.load(); }

    LMessage Handle(const LMessage& msg) override;

private:
    static void ClientReady(void* self, int event);
    void Broken();

    LAsyncLoop* fLoop;
    void* fOwner;
    Callback fCallback;
    Config fConfig;
    std::atomic<bool> fFailed{false};
    std::atomic<bool> fConnected{false};
    std::atomic<bool> fStopped{false};
    std::atomic<uint32_t> fBackoffMs{100};
    LAsyncTimer fRetry;
    CUdpMuxServer fServer;
    CNamedStream fStream;
    CFramedStream fFramed;
};
