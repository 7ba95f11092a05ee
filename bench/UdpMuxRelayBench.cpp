// The multiplexer's relay under a show's load: 32 universes of ArtDmx at 44 Hz (1,408 datagrams a
// second) on 127.0.0.1 reach two client processes through the Unix socket, beside its peer, a bare
// loop that reads the UDP socket and writes the same frames to both clients with nothing else.
// On the multiplexer's row one client is the application's own road in this process: CArtNetIn on
// the main run loop, the DMX input merge and a sink stub following universe 5.
// Counters: datagrams sent, frames lost over both clients, the relay thread's share of one core,
// and (on the multiplexer's row) that share as a ratio to the bare loop's and the sink's calls a
// second. Traffic stays on loopback on a free port, never 6454 of the host.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "Orbilume/CSources/DmxIn/CArtNetIn.h"
#include "Orbilume/CSources/DmxIn/CDmxInMerge.h"
#include "Orbilume/CSources/DmxIn/DmxPackets.h"
#include "Orbilume/CSources/Net/CUdpMuxServer.h"
#include "tests/Orbilume/CSources/Net/NetTestLoop.h"

namespace {

constexpr int kUniverses = 32;
constexpr int kRate = 44;
const char* const kName = "tessaroudpmuxsvran";

constexpr uint16_t kFollowed = 5;

double gBareCpuShare = 0;

// The in-process client: every datagram counted, the followed universe offered to the merge.
struct AppClient {
    uint64_t datagrams = 0;
    uint64_t sinkCalls = 0;
    CDmxInMerge merge{this, &AppClient::Sink};

    static void Sink(void* self, const DmxInSource&, const uint8_t*, uint32_t) {
        ++static_cast<AppClient*>(self)->sinkCalls;
    }
    static void Frame(void* self, const CNetAddress& from, uint32_t length, const uint8_t* datagram) {
        auto* c = static_cast<AppClient*>(self);
        ++c->datagrams;
        dmxpkt::ArtDmxView v;
        if (!dmxpkt::AcceptArtDmx(datagram, length, kFollowed, &v)) return;
        DmxInSource s;
        s.kind = DmxInSource::kArtNet;
        s.priority = 100;
        s.address = from;
        c->merge.Offer(s, v.length, v.slots);
    }
};

uint16_t FreePort() {
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    (void)bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    (void)getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    close(fd);
    return ntohs(a.sin_port);
}

sockaddr_un UnixAddress(const std::string& path) {
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    std::snprintf(a.sun_path, sizeof a.sun_path, "%s", path.c_str());
    return a;
}

// A client process: counts whole frames until the stream ends, then writes the count to the pipe.
// It only makes system calls (the parent has threads), and its buffer is static.
[[noreturn]] void ClientProcess(const std::string& path, int result) {
    static uint8_t buffer[1 << 17];
    sockaddr_un a = UnixAddress(path);
    int fd = -1;
    for (int i = 0; i < 500 && fd < 0; ++i) {
        fd = socket(AF_UNIX, SOCK_STREAM, 0);
        if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
            close(fd);
            fd = -1;
            usleep(10000);
        }
    }
    uint64_t frames = 0;
    size_t have = 0;
    while (fd >= 0) {
        ssize_t n = read(fd, buffer + have, sizeof buffer - have);
        if (n <= 0) break;
        have += size_t(n);
        size_t at = 0;
        while (have - at >= 8) {
            size_t length = size_t(buffer[at + 6]) << 8 | buffer[at + 7];
            if (have - at < 8 + length) break;
            ++frames;
            at += 8 + length;
        }
        std::memmove(buffer, buffer + at, have - at);
        have -= at;
    }
    (void)!write(result, &frames, sizeof frames);
    _exit(0);
}

// The peer: a thread that relays datagrams to two accepted clients and nothing more.
struct BareRelay {
    std::atomic<bool> stop{false};
    double cpu = 0;
    void Run(uint16_t port, const std::string& path) {
        int udp = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(port);
        (void)bind(udp, reinterpret_cast<sockaddr*>(&a), sizeof a);
        int listener = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un u = UnixAddress(path);
        (void)bind(listener, reinterpret_cast<sockaddr*>(&u), sizeof u);
        (void)listen(listener, 4);
        int clients[2] = {accept(listener, nullptr, nullptr), accept(listener, nullptr, nullptr)};
        timespec t0;
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t0);
        uint8_t frame[8 + 2048];
        while (!stop.load()) {
            pollfd p{udp, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0) continue;
            sockaddr_in from{};
            socklen_t len = sizeof from;
            ssize_t n = recvfrom(udp, frame + 8, 2048, 0, reinterpret_cast<sockaddr*>(&from), &len);
            if (n <= 0) continue;
            std::memcpy(frame, &from.sin_addr.s_addr, 4);
            std::memcpy(frame + 4, &from.sin_port, 2);
            frame[6] = uint8_t(n >> 8);
            frame[7] = uint8_t(n);
            for (int c : clients) (void)!write(c, frame, size_t(8 + n));
        }
        timespec t1;
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t1);
        cpu = double(t1.tv_sec - t0.tv_sec) + double(t1.tv_nsec - t0.tv_nsec) * 1e-9;
        for (int c : clients) close(c);
        close(listener);
        close(udp);
    }
};

// Sends the show's load for the given seconds; returns the datagrams sent.
uint64_t SendLoad(uint16_t port, double seconds) {
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to.sin_port = htons(port);
    uint8_t slots[512] = {};
    uint8_t packet[dmxpkt::kArtDmxSize];
    uint64_t sent = 0;
    auto next = std::chrono::steady_clock::now();
    const int ticks = int(seconds * kRate);
    for (int tick = 0; tick < ticks; ++tick) {
        slots[0] = uint8_t(tick);
        for (int u = 0; u < kUniverses; ++u) {
            dmxpkt::BuildArtDmx(packet, uint16_t(u), slots);
            if (sendto(fd, packet, sizeof packet, 0, reinterpret_cast<sockaddr*>(&to), sizeof to) > 0) ++sent;
        }
        next += std::chrono::microseconds(1000000 / kRate);
        std::this_thread::sleep_until(next);
    }
    close(fd);
    return sent;
}

void Relay(benchmark::State& state, bool bare) {
    const double seconds = double(state.range(0));
    char folder[] = "/tmp/orbilume-relay-bench.XXXXXX";
    if (!mkdtemp(folder)) {
        state.SkipWithError("no temporary folder");
        return;
    }
    const std::string path = std::string(folder) + "/" + kName;
    for (auto _ : state) {
        const uint16_t port = FreePort();
        int results[2];
        if (pipe(results) != 0) {
            state.SkipWithError("no pipe");
            break;
        }
        // The bare loop serves two client processes; the multiplexer one process and the application.
        const int processes = bare ? 2 : 1;
        pid_t children[2] = {-1, -1};
        BareRelay peer;
        std::thread peerThread;
        std::unique_ptr<CUdpMuxServer> server;
        nettest::MainLoop main;
        LHandler root{nullptr};
        AppClient app;
        std::unique_ptr<CArtNetIn> in;
        if (bare) {
            peerThread = std::thread([&] { peer.Run(port, path); });
            usleep(50000);  // the listener first
        }
        for (int i = 0; i < processes; ++i) {
            children[i] = fork();
            if (children[i] == 0) ClientProcess(path, results[1]);
        }
        double cpu0 = 0;
        if (!bare) {
            server = std::make_unique<CUdpMuxServer>();
            if (!server->Start(port, folder, kName, INADDR_LOOPBACK)) {
                state.SkipWithError("the multiplexer did not start");
            }
            CUdpMuxLink::Config c;
            c.port = port;
            c.folder = folder;
            c.name = kName;
            c.bindAddress = INADDR_LOOPBACK;
            in = std::make_unique<CArtNetIn>(&root, main.Loop(), &app, &AppClient::Frame, c);
            (void)in->Start();
            main.RunUntil([&] { return server->ClientCount() >= 2 && in->IsConnected(); }, 5);
            cpu0 = server->RelayCpuSeconds();
        }
        std::atomic<bool> sending{true};
        uint64_t sent = 0;
        std::thread sender([&] {
            sent = SendLoad(port, seconds);
            sending.store(false);
        });
        main.RunUntil([&] { return !sending.load(); }, seconds + 30);
        sender.join();
        const uint64_t sinkCalls = app.sinkCalls;
        main.Spin(0.2);  // the last frames drain
        double cpu;
        if (bare) {
            peer.stop.store(true);
            peerThread.join();
            cpu = peer.cpu;
        } else {
            cpu = server->RelayCpuSeconds() - cpu0;
            in->Stop();
            server->Stop();  // the clients see the end of their streams
        }
        uint64_t received = app.datagrams;
        for (int i = 0; i < processes; ++i) {
            uint64_t n = 0;
            if (read(results[0], &n, sizeof n) == sizeof n) received += n;
            waitpid(children[i], nullptr, 0);
        }
        in.reset();
        server.reset();
        close(results[0]);
        close(results[1]);
        unlink(path.c_str());
        const double share = cpu / seconds * 100;
        state.counters["sent"] = double(sent);
        state.counters["lost"] = double(2 * sent) - double(received);
        state.counters["relay_cpu_pct"] = share;
        if (bare) {
            gBareCpuShare = share;
        } else {
            state.counters["sink_per_s"] = double(sinkCalls) / seconds;
            if (gBareCpuShare > 0) state.counters["cpu_ratio_to_bare"] = share / gBareCpuShare;
        }
    }
    rmdir(folder);
}

void BM_UdpRelayBareLoop(benchmark::State& state) {
    Relay(state, true);
}
void BM_UdpMuxRelay(benchmark::State& state) {
    Relay(state, false);
}
BENCHMARK(BM_UdpRelayBareLoop)->Arg(10)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_UdpMuxRelay)->Arg(10)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

}  // namespace
