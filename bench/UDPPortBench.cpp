// Loopback only: every socket here is bound to and sends to 127.0.0.1.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "Lib3/LSources/CoreData/LAsyncMainLoop.h"
#include "Orbilume/CSources/Net/CFdWatcher.h"
#include "Orbilume/CSources/Net/CSocketSelector.h"
#include "Orbilume/CSources/Net/CUDPPort.h"
#include "Platform/Foundation/RunLoop.h"

namespace {

int BoundUdp(uint16_t& port) {
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
    return fd;
}

// Echoes every datagram back to its sender until told to stop.
class EchoPeer {
public:
    EchoPeer() {
        fFd = BoundUdp(fPort);
        timeval t{0, 50000};
        setsockopt(fFd, SOL_SOCKET, SO_RCVTIMEO, &t, sizeof t);
        fThread = std::thread([this] {
            char buf[2048];
            while (!fStop) {
                sockaddr_in from{};
                socklen_t len = sizeof from;
                ssize_t n = recvfrom(fFd, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
                if (n >= 0) sendto(fFd, buf, size_t(n), 0, reinterpret_cast<sockaddr*>(&from), len);
            }
        });
    }
    ~EchoPeer() {
        fStop = true;
        fThread.join();
        close(fFd);
    }
    uint16_t Port() const { return fPort; }

private:
    int fFd;
    uint16_t fPort = 0;
    std::atomic<bool> fStop{false};
    std::thread fThread;
};

class EchoClient : public LHandler {
public:
    EchoClient(LAsyncLoop* loop, uint16_t peer) : LHandler(nullptr), fPort(this, loop), fPeer(peer) {
        (void)fPort.Open(0, 0, 0, INADDR_LOOPBACK);
    }
    void Round() {
        fDone = false;
        fPort.Receive(fIn, sizeof fIn);
        fPort.Send(CNetAddress::IPv4(INADDR_LOOPBACK, fPeer), fOut, sizeof fOut);
        while (!fDone) plat::RunLoop::Main()->RunInMode(plat::kRunLoopDefaultMode, 1.0, true);
    }
    LMessage Handle(const LMessage& msg) override {
        if (msg.Is(CUDPPort_Read)) fDone = true;
        return msg.Is(LHandler_Destructing) ? LMessage() : LMessage();
    }

private:
    CUDPPort fPort;
    uint16_t fPeer;
    char fOut[64] = "osc-sized message";
    char fIn[2048];
    bool fDone = false;
};

// CUDPPort round trips: send, selector readiness on the main loop, receive.
void BM_UDPPortEcho(benchmark::State& state) {
    LAsyncMainLoop loop;
    EchoPeer peer;
    EchoClient client(&loop, peer.Port());
    for (auto _ : state) client.Round();
    state.counters["round_trips_per_s"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_UDPPortEcho)->UseRealTime();

// The peer: blocking sendto/recvfrom round trips on a plain socket.
void BM_RawSocketEcho(benchmark::State& state) {
    EchoPeer peer;
    uint16_t mine;
    int fd = BoundUdp(mine);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(peer.Port());
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    char out[64] = "osc-sized message", in[2048];
    for (auto _ : state) {
        sendto(fd, out, sizeof out, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
        recv(fd, in, sizeof in, 0);
    }
    close(fd);
    state.counters["round_trips_per_s"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RawSocketEcho)->UseRealTime();

double ProcessCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           1e-6 * double(u.ru_utime.tv_usec + u.ru_stime.tv_usec);
}

// CPU the whole process uses while nothing happens for 300 ms, as a share of one core.
double IdleCpuShare() {
    double cpu0 = ProcessCpuSeconds();
    auto t0 = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    return (ProcessCpuSeconds() - cpu0) / wall;
}

struct Latency {
    std::atomic<int64_t> firedNs{0};
    static int64_t Now() {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
    static void Fired(void* self, int) { static_cast<Latency*>(self)->firedNs = Now(); }
};

// 500 idle registered sockets (all armed for reading) plus one that receives: CPU used while idle,
// and the time from sendto to the watcher's callback.
void BM_FdWatcherIdle500(benchmark::State& state) {
    std::vector<int> idle;
    uint16_t p;
    for (int i = 0; i < 500; ++i) {
        idle.push_back(BoundUdp(p));
        CFdWatcher::Register(idle.back(), nullptr, &Latency::Fired);
        CFdWatcher::Arm(idle.back(), CFdWatcher::kRead);
    }
    uint16_t rxPort, txPort;
    int rx = BoundUdp(rxPort), tx = BoundUdp(txPort);
    Latency latency;
    CFdWatcher::Register(rx, &latency, &Latency::Fired);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(rxPort);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::vector<double> samples;
    double idleCpu = IdleCpuShare();
    for (auto _ : state) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        latency.firedNs = 0;
        CFdWatcher::Arm(rx, CFdWatcher::kRead);
        int64_t sent = Latency::Now();
        sendto(tx, "x", 1, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
        while (latency.firedNs == 0) std::this_thread::yield();
        samples.push_back(double(latency.firedNs - sent) * 1e-3);
        char b[8];
        recv(rx, b, sizeof b, 0);
    }
    std::sort(samples.begin(), samples.end());
    state.counters["median_latency_us"] = samples.empty() ? 0 : samples[samples.size() / 2];
    state.counters["idle_cpu_share"] = idleCpu;
    CFdWatcher::Unregister(rx);
    for (int fd : idle) CFdWatcher::Unregister(fd);
    for (int fd : idle) close(fd);
    close(rx);
    close(tx);
}
BENCHMARK(BM_FdWatcherIdle500)->Iterations(200)->UseRealTime();

struct SelectorHit {
    bool fired = false;
    static void Fired(void* self, int) { static_cast<SelectorHit*>(self)->fired = true; }
};

// The same for the selector, whose callbacks run on the main loop.
void BM_SocketSelectorIdle500(benchmark::State& state) {
    LAsyncMainLoop loop;
    CSocketSelector::Acquire(&loop);
    std::vector<int> idle;
    uint16_t p;
    SelectorHit none;
    for (int i = 0; i < 500; ++i) {
        idle.push_back(BoundUdp(p));
        CSocketSelector::Register(idle.back(), &none, &SelectorHit::Fired);
        CSocketSelector::Arm(idle.back(), CSocketSelector::kRead);
    }
    uint16_t rxPort, txPort;
    int rx = BoundUdp(rxPort), tx = BoundUdp(txPort);
    SelectorHit hit;
    CSocketSelector::Register(rx, &hit, &SelectorHit::Fired);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(rxPort);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::vector<double> samples;
    double idleCpu = IdleCpuShare();
    for (auto _ : state) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        hit.fired = false;
        CSocketSelector::Arm(rx, CSocketSelector::kRead);
        auto sent = std::chrono::steady_clock::now();
        sendto(tx, "x", 1, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
        while (!hit.fired) plat::RunLoop::Main()->RunInMode(plat::kRunLoopDefaultMode, 1.0, true);
        samples.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - sent).count());
        char b[8];
        recv(rx, b, sizeof b, 0);
    }
    std::sort(samples.begin(), samples.end());
    state.counters["median_latency_us"] = samples.empty() ? 0 : samples[samples.size() / 2];
    state.counters["idle_cpu_share"] = idleCpu;
    CSocketSelector::Unregister(rx);
    for (int fd : idle) CSocketSelector::Unregister(fd);
    for (int fd : idle) close(fd);
    close(rx);
    close(tx);
    CSocketSelector::Release();
}
BENCHMARK(BM_SocketSelectorIdle500)->Iterations(200)->UseRealTime();

}  // namespace
