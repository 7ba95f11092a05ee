#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "Lib3/LSources/CoreData/CMainLoopBase.h"
#include "Lib3/LSources/CoreData/LAsyncMainLoop.h"
#include "Orbilume/CSources/Net/CNetAddress.h"

namespace nettest {

constexpr uint32_t kLoopback = INADDR_LOOPBACK;  // host order

// The main loop of a test: the main LAsyncLoop plus the idle passes that deliver posted events.
class MainLoop {
public:
    MainLoop();
    ~MainLoop();
    LAsyncMainLoop* Loop() { return &fLoop; }
    // Turns the main run loop until done() or the time runs out; false on time-out.
    bool RunUntil(const std::function<bool()>& done, double seconds = 5);
    // Turns it for a while.
    void Spin(double seconds);

private:
    class Base : public CMainLoopBase {
    public:
        explicit Base(LHandler* root) : CMainLoopBase(root) {}
        void RunModalStep() override {}
        void Quit() override {}
        void RequestUpdate() override {}
        CMacTimer* CreateTimer(TimerCallback, void*) override { return nullptr; }
    };
    LHandler fRoot{nullptr};
    Base fBase{&fRoot};
    LAsyncMainLoop fLoop;
};

// Records the messages that reach it; an optional hook answers them (consumes by default).
class Recorder : public LHandler {
public:
    Recorder() : LHandler(nullptr) {}
    LMessage Handle(const LMessage& msg) override;
    int Count(LMsgId id) const;
    std::vector<std::string> ids;
    std::function<bool(const LMessage&)> hook;  // false passes the message on
};

// A plain blocking UDP socket bound to 127.0.0.1 with a kernel-chosen port.
class RawUdp {
public:
    RawUdp();
    ~RawUdp();
    uint16_t Port() const { return fPort; }
    int Fd() const { return fFd; }
    bool SendTo(uint16_t port, const std::string& bytes, uint32_t address = kLoopback);
    // Waits up to a second; empty on time-out.
    std::string Receive();

private:
    int fFd = -1;
    uint16_t fPort = 0;
};

// Number of threads of this process.
int ThreadCount();
// A loopback port that nothing listens on (bound once, then released).
uint16_t FreeTcpPort();

}  // namespace nettest
