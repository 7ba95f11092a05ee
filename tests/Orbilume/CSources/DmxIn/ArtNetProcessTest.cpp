// Receiver processes sharing UDP 6454 through the multiplexer, inside the test's own network
// namespace (netns-run): port 6454 and 127.0.0.1 are the namespace's own.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "Orbilume/CSources/DmxIn/DmxPackets.h"
#include "tests/Orbilume/CSources/DmxIn/ChildProcess.h"
#include "tests/support/NetNamespace.h"
#include "tests/support/TempDir.h"

namespace {

using testsupport::Child;
using testsupport::Clock;
using testsupport::Since;
constexpr uint32_t kNobody = 65534;
const char* const kSocketName = "tessaroudpmuxsvran";

// A UDP socket on 127.0.0.1 with a port of its own.
struct Udp {
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    uint16_t port = 0;
    Udp() {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        (void)bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        socklen_t len = sizeof a;
        (void)getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
        port = ntohs(a.sin_port);
    }
    ~Udp() { close(fd); }
    void SendTo6454(const void* data, size_t n) const {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(dmxpkt::kArtNetPort);
        (void)sendto(fd, data, n, 0, reinterpret_cast<sockaddr*>(&a), sizeof a);
    }
    void SendFrame(uint8_t first) const {
        uint8_t slots[512] = {first};
        uint8_t p[dmxpkt::kArtDmxSize];
        dmxpkt::BuildArtDmx(p, 0, slots);
        SendTo6454(p, sizeof p);
    }
};

bool CanRunAs(uint32_t uid, std::string& why) {
    std::string command = "setpriv --reuid=" + std::to_string(uid) + " --regid=" + std::to_string(uid) +
                          " --clear-groups true 2>/dev/null";
    if (std::system(command.c_str()) == 0) return true;
    why = "setpriv to another user was refused here";
    return false;
}

std::vector<std::string> AsNobody(std::vector<std::string> args) {
    std::vector<std::string> all = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    all.insert(all.end(), args.begin(), args.end());
    return all;
}

struct ArtNetProcessTest : ::testing::Test {
    testsupport::TempDir dir;
    Udp udp;
    void SetUp() override {
        if (!testsupport::NetNamespace::Inside()) GTEST_SKIP() << "needs netns-run";
        ASSERT_GE(udp.fd, 0);
    }
    std::string SocketPath() const { return dir.File(kSocketName); }
    std::vector<std::string> Peer(const std::string& folder, double seconds = 30) const {
        return {ARTNET_PEER, folder, std::to_string(seconds)};
    }
};

TEST_F(ArtNetProcessTest, TwoProcessesShareThePortAndTheSurvivorTakesOver) {
    Child a, b;
    ASSERT_TRUE(a.Spawn(Peer(dir.Path())));
    ASSERT_TRUE(a.WaitFor("link connected=1 serving=1", 5)) << a.output;
    ASSERT_TRUE(b.Spawn(Peer(dir.Path())));
    ASSERT_TRUE(b.WaitFor("link connected=1 serving=0", 5)) << b.output;

    udp.SendFrame(10);
    EXPECT_TRUE(a.WaitFor("frame 10", 5)) << a.output;
    EXPECT_TRUE(b.WaitFor("frame 10", 5)) << b.output;

    // The serving process dies without closing anything itself; the other one wins the next
    // election (at most three tries after its first back-off) and receives again.
    size_t before = b.output.size();
    a.Kill();
    auto t0 = Clock::now();
    ASSERT_TRUE(b.WaitFor("frame 20", 5, [&] { udp.SendFrame(20); })) << b.output;
    double took = Since(t0);
    // The peer prints its link state between turns, so a frame can show before the line.
    EXPECT_TRUE(b.WaitFor("link connected=1 serving=1", 5)) << b.output;
    std::string after = b.output.substr(before);
    // 100 ms of back-off and three 10 ms tries, with room for a busy machine; a lost election
    // would wait for the next, longer back-off.
    EXPECT_LT(took, 1.0) << after;
}

// socat on the server's socket sees each datagram as [IPv4][port][length][payload], big-endian,
// and a frame written to it goes out of port 6454 to the address in its header.
TEST_F(ArtNetProcessTest, SocatShowsTheFraming) {
    Child server;
    ASSERT_TRUE(server.Spawn(Peer(dir.Path())));
    ASSERT_TRUE(server.WaitFor("link connected=1 serving=1", 5)) << server.output;
    Child socat;
    ASSERT_TRUE(socat.Spawn({"socat", "-", "UNIX-CONNECT:" + SocketPath()}));

    const char payload[] = "hello-mux";
    const uint8_t header[] = {127, 0, 0, 1, uint8_t(udp.port >> 8), uint8_t(udp.port), 0, 9};
    std::string want(reinterpret_cast<const char*>(header), 8);
    want += "hello-mux";
    auto t0 = Clock::now();
    while (socat.output.size() < want.size() && Since(t0) < 5) {
        udp.SendTo6454(payload, 9);
        (void)socat.Read(0.02);
    }
    ASSERT_GE(socat.output.size(), want.size());
    EXPECT_EQ(socat.output.substr(0, want.size()), want);

    const uint8_t frame[] = {
        127, 0,   0,   1,  uint8_t(udp.port >> 8), uint8_t(udp.port), 0, 8, 'f', 'r', 'o', 'm',
        '-', 'm', 'u', 'x'};
    ASSERT_EQ(write(socat.in, frame, sizeof frame), ssize_t(sizeof frame));
    pollfd p{udp.fd, POLLIN, 0};
    char got[64];
    sockaddr_in from{};
    ssize_t n = -1;
    for (int i = 0; i < 100 && n != 8; ++i) {
        if (poll(&p, 1, 50) <= 0) continue;
        socklen_t len = sizeof from;
        n = recvfrom(udp.fd, got, sizeof got, 0, reinterpret_cast<sockaddr*>(&from), &len);
        if (n == 9 && std::memcmp(got, "hello-mux", 9) == 0) n = -1;  // our own, relayed back
    }
    ASSERT_EQ(n, 8);
    EXPECT_EQ(std::string(got, 8), "from-mux");
    EXPECT_EQ(ntohs(from.sin_port), dmxpkt::kArtNetPort);
}

// The socket admits only processes of the same user: the server refuses another user's client,
// and a client refuses a server of another user.
TEST_F(ArtNetProcessTest, PeersOfAnotherUserAreRefused) {
    std::string why;
    if (!CanRunAs(kNobody, why)) GTEST_SKIP() << why;
    // Let the other user reach the socket at all, so that only the credential check stands.
    ASSERT_EQ(chmod(dir.Path().c_str(), 0755), 0);
    {
        Child server;
        ASSERT_TRUE(server.Spawn(Peer(dir.Path())));
        ASSERT_TRUE(server.WaitFor("link connected=1 serving=1", 5)) << server.output;
        ASSERT_EQ(chmod(SocketPath().c_str(), 0777), 0);
        Child intruder;
        ASSERT_TRUE(intruder.Spawn(AsNobody({"socat", "-u", "UNIX-CONNECT:" + SocketPath(), "STDOUT"})));
        auto t0 = Clock::now();
        while (intruder.pid > 0 && Since(t0) < 3) {
            udp.SendFrame(30);
            (void)intruder.WaitForExit(0.05);
        }
        EXPECT_LT(intruder.pid, 0) << "the refused client's stream should end";
        EXPECT_TRUE(intruder.output.empty()) << intruder.output.size() << " bytes leaked";
        EXPECT_TRUE(server.WaitFor("frame 30", 2)) << "the server's own client keeps receiving";
    }
    {
        // A server of another user holds the port; our process must not take its stream.
        testsupport::TempDir shared;
        ASSERT_EQ(chown(shared.Path().c_str(), kNobody, kNobody), 0);
        ASSERT_EQ(chmod(shared.Path().c_str(), 0755), 0);
        Child other;
        ASSERT_TRUE(other.Spawn(AsNobody(Peer(shared.Path()))));
        if (!other.WaitFor("link connected=1 serving=1", 5))
            GTEST_SKIP() << "the peer did not start as another user: " << other.output;
        ASSERT_EQ(chmod(shared.File(kSocketName).c_str(), 0777), 0);
        Child mine;
        ASSERT_TRUE(mine.Spawn(Peer(shared.Path())));
        ASSERT_TRUE(mine.WaitFor("link connected=0 serving=0", 5)) << mine.output;
        auto t0 = Clock::now();
        while (Since(t0) < 1) {
            udp.SendFrame(40);
            (void)mine.Read(0.05);
        }
        EXPECT_FALSE(mine.Has("link connected=1 serving=0")) << mine.output;
        EXPECT_FALSE(mine.Has("frame 40")) << mine.output;
        EXPECT_TRUE(other.WaitFor("frame 40", 2)) << other.output;
    }
}

}  // namespace
