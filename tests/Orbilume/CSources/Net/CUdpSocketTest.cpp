#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <net/if.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "Orbilume/CSources/Net/CFdWatcher.h"
#include "Orbilume/CSources/Net/CUdpSocket.h"
#include "Orbilume/CSources/Net/NetSysCalls.h"
#include "tests/Orbilume/CSources/Net/NetTestLoop.h"
#include "tests/support/NetNamespace.h"

namespace {

using namespace std::chrono_literals;
using testsupport::NetNamespace;

struct Events {
    std::atomic<int> readable{0}, writable{0};
    static void Callback(void* self, int event) {
        auto* e = static_cast<Events*>(self);
        (event == CUdpSocket::kReadable ? e->readable : e->writable)++;
    }
};

bool WaitFor(const std::function<bool()>& done) {
    auto t0 = std::chrono::steady_clock::now();
    while (!done()) {
        if (std::chrono::steady_clock::now() - t0 > 5s) return false;
        std::this_thread::sleep_for(200us);
    }
    return true;
}

CNetAddress Loopback() {
    return CNetAddress::IPv4(nettest::kLoopback, 0);
}

TEST(CUdpSocket, PortZeroReportsTheChosenPortAndOpenTwiceChangesNothing) {
    Events ev;
    CUdpSocket s(&ev, &Events::Callback);
    CNetAddress local = Loopback();
    ASSERT_EQ(s.Open(0, CUdpSocket::kFamilyIPv4, 0, 0, &local), 0);
    EXPECT_TRUE(s.IsOpen());
    EXPECT_NE(s.LocalPort(), 0);
    int fd = s.Fd();
    EXPECT_EQ(s.Open(0, CUdpSocket::kFamilyIPv4, 0, 0, &local), 0);
    EXPECT_EQ(s.Fd(), fd);
    s.Close();
    EXPECT_FALSE(s.IsOpen());
    char buf[4];
    CNetAddress from;
    EXPECT_EQ(s.RecvFrom(from, buf, sizeof buf), -1);
    EXPECT_EQ(s.SendTo(from, buf, 1), -1);
}

TEST(CUdpSocket, ClosedSocketCanBeReopenedAtOnceWhileTheWatcherWaits) {
    Events ev;
    CUdpSocket keep(&ev, &Events::Callback), s(&ev, &Events::Callback);
    CNetAddress local = Loopback();
    ASSERT_EQ(keep.Open(0, CUdpSocket::kFamilyIPv4, 0, 0, &local), 0);  // keeps the watcher alive
    ASSERT_EQ(s.Open(0, CUdpSocket::kFamilyIPv4, 0, 0, &local), 0);
    uint16_t p = s.LocalPort();
    char buf[8];
    CNetAddress from;
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(s.RecvFrom(from, buf, sizeof buf), 0);  // arms the read watch
        std::this_thread::sleep_for(200us);
        s.Close();
        ASSERT_EQ(s.Open(p, CUdpSocket::kFamilyIPv4, 0, 0, &local), 0) << i;
    }
}

TEST(CUdpSocket, EmptyDatagramIsConsumedAndLaterOnesAreReported) {
    Events ev;
    CUdpSocket s(&ev, &Events::Callback);
    CNetAddress local = Loopback();
    ASSERT_EQ(s.Open(0, CUdpSocket::kFamilyIPv4, 0, 0, &local), 0);
    nettest::RawUdp peer;
    char buf[8];
    CNetAddress from;
    EXPECT_EQ(s.RecvFrom(from, buf, sizeof buf), 0);  // nothing yet: read watch armed
    ASSERT_TRUE(peer.SendTo(s.LocalPort(), ""));
    ASSERT_TRUE(WaitFor([&] { return ev.readable == 1; }));
    EXPECT_EQ(s.RecvFrom(from, buf, sizeof buf), 0);  // the empty datagram, consumed
    ASSERT_TRUE(peer.SendTo(s.LocalPort(), "later, and too long"));
    ASSERT_TRUE(WaitFor([&] { return ev.readable == 2; }));
    EXPECT_EQ(s.RecvFrom(from, buf, sizeof buf), 8);  // cut to the buffer
    EXPECT_EQ(std::string(buf, 8), "later, a");
    EXPECT_EQ(from, CNetAddress::IPv4(nettest::kLoopback, peer.Port()));
    EXPECT_EQ(s.RecvFrom(from, buf, sizeof buf), 0);
}

TEST(CUdpSocket, SendToReachesThePeerAndPacketInfoGivesDestinationAndInterface) {
    Events ev;
    CUdpSocket s(&ev, &Events::Callback);
    CNetAddress local = Loopback();
    ASSERT_EQ(s.Open(0, CUdpSocket::kFamilyIPv4, 0, 0, &local), 0);
    ASSERT_TRUE(s.EnablePacketInfo(true));
    nettest::RawUdp peer;
    EXPECT_EQ(s.SendTo(CNetAddress::IPv4(nettest::kLoopback, peer.Port()), "hello", 5), 5);
    EXPECT_EQ(peer.Receive(), "hello");
    ASSERT_TRUE(peer.SendTo(s.LocalPort(), "info"));
    char buf[16];
    CNetAddress from;
    uint32_t index = 99, dest = 99;
    int32_t n = 0;
    ASSERT_TRUE(WaitFor([&] { return (n = s.RecvMsg(from, buf, sizeof buf, index, dest)) != 0; }));
    EXPECT_EQ(n, 4);
    EXPECT_EQ(index, if_nametoindex("lo"));
    EXPECT_EQ(dest, nettest::kLoopback);
    EXPECT_EQ(from.port, peer.Port());
}

TEST(CUdpSocket, IPv6Loopback) {
    Events ev;
    CUdpSocket a(&ev, &Events::Callback), b(&ev, &Events::Callback);
    const uint8_t loop6[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    CNetAddress local = CNetAddress::IPv6(loop6, 0);
    if (a.Open(0, CUdpSocket::kFamilyIPv6, 0, 0, &local) != 0) GTEST_SKIP() << "no IPv6 loopback";
    ASSERT_EQ(b.Open(0, CUdpSocket::kFamilyIPv6, 0, 0, &local), 0);
    EXPECT_EQ(a.SendTo(CNetAddress::IPv6(loop6, b.LocalPort()), "six", 3), 3);
    char buf[8];
    CNetAddress from;
    int32_t n = 0;
    ASSERT_TRUE(WaitFor([&] { return (n = b.RecvFrom(from, buf, sizeof buf)) != 0; }));
    EXPECT_EQ(n, 3);
    EXPECT_EQ(from, CNetAddress::IPv6(loop6, a.LocalPort()));
}

TEST(CUdpSocket, BindToInterfaceByIndex) {
    Events ev;
    CUdpSocket s(&ev, &Events::Callback);
    EXPECT_FALSE(s.BindToInterface(1));  // closed
    CNetAddress local = Loopback();
    ASSERT_EQ(s.Open(0, CUdpSocket::kFamilyIPv4, 0, 0, &local), 0);
    EXPECT_TRUE(s.BindToInterface(if_nametoindex("lo")));
    EXPECT_FALSE(s.BindToInterface(0));
    EXPECT_FALSE(s.BindToInterface(999999));
}

TEST(CUdpSocket, IPv6SocketBindsToThePrimaryInterfaceForIndexZero) {
    std::string veth = NetNamespace::Veth();
    if (veth.empty()) GTEST_SKIP() << "needs netns-run --veth";
    Events ev;
    CUdpSocket s(&ev, &Events::Callback);
    if (s.Open(0, CUdpSocket::kFamilyIPv6, 0, 0) != 0) GTEST_SKIP() << "no IPv6";
    EXPECT_FALSE(s.BindToInterface(0));  // no default route: no primary interface
    ASSERT_TRUE(NetNamespace::Ip("route add default via 10.99.0.2 dev " + veth));
    EXPECT_TRUE(s.BindToInterface(0));
    char name[IF_NAMESIZE] = {};
    socklen_t len = sizeof name;
    ASSERT_EQ(getsockopt(s.Fd(), SOL_SOCKET, SO_BINDTODEVICE, name, &len), 0);
    EXPECT_EQ(std::string(name), veth);
    ASSERT_TRUE(NetNamespace::Ip("route del default via 10.99.0.2 dev " + veth));
}

TEST(CUdpSocket, WouldBlockArmsTheWriteWatch) {
    Events ev;
    CUdpSocket s(&ev, &Events::Callback);
    CNetAddress local = Loopback();
    ASSERT_EQ(s.Open(0, CUdpSocket::kFamilyIPv4, 0, 0, &local), 0);
    NetSysCalls().sendTo = [](int, const void*, size_t, int, const sockaddr*, socklen_t) -> ssize_t {
        errno = ENOBUFS;
        return -1;
    };
    EXPECT_EQ(s.SendTo(CNetAddress::IPv4(nettest::kLoopback, 9), "x", 1), 0);
    NetSysCalls().sendTo = [](int, const void*, size_t, int, const sockaddr*, socklen_t) -> ssize_t {
        errno = EPERM;
        return -1;
    };
    EXPECT_EQ(s.SendTo(CNetAddress::IPv4(nettest::kLoopback, 9), "x", 1), -1);
    ResetNetSysCalls();
    EXPECT_TRUE(WaitFor([&] { return ev.writable == 1; }));
}

TEST(CUdpSocket, TwoReusePortSocketsInAGroupBothReceive) {
    if (!NetNamespace::Inside()) GTEST_SKIP() << "multicast only inside the namespace of netns-run";
    constexpr uint32_t kGroup = 0xefff0001;  // 239.255.0.1
    Events ev;
    CUdpSocket a(&ev, &Events::Callback), b(&ev, &Events::Callback);
    ASSERT_EQ(a.Open(5568, CUdpSocket::kFamilyIPv4, 0, 1), 0);
    ASSERT_EQ(b.Open(5568, CUdpSocket::kFamilyIPv4, 0, 1), 0);
    ASSERT_TRUE(a.JoinGroup(kGroup, nettest::kLoopback));
    ASSERT_TRUE(b.JoinGroup(kGroup, nettest::kLoopback));
    nettest::RawUdp sender;
    in_addr lo{htonl(nettest::kLoopback)};
    setsockopt(sender.Fd(), IPPROTO_IP, IP_MULTICAST_IF, &lo, sizeof lo);
    ASSERT_TRUE(sender.SendTo(5568, "dmx", kGroup));
    for (CUdpSocket* s : {&a, &b}) {
        char buf[8];
        CNetAddress from;
        int32_t n = 0;
        EXPECT_TRUE(WaitFor([&] { return (n = s->RecvFrom(from, buf, sizeof buf)) != 0; }));
        EXPECT_EQ(n, 3);
    }
    EXPECT_TRUE(a.LeaveGroup(kGroup, nettest::kLoopback));
    EXPECT_FALSE(a.LeaveGroup(kGroup, nettest::kLoopback));
}

TEST(CUdpSocket, BroadcastInsideTheNamespace) {
    if (NetNamespace::Veth().empty()) GTEST_SKIP() << "needs netns-run --veth";
    Events ev;
    CUdpSocket rx(&ev, &Events::Callback), tx(&ev, &Events::Callback);
    ASSERT_EQ(rx.Open(6454, CUdpSocket::kFamilyIPv4, 0, 1), 0);
    ASSERT_EQ(tx.Open(0, CUdpSocket::kFamilyIPv4, 0, 0), 0);
    // The veth's directed broadcast: it reaches only the two private namespaces.
    EXPECT_EQ(tx.SendTo(CNetAddress::IPv4(0x0a6300ff, 6454), "art", 3), 3);
    char buf[8];
    CNetAddress from;
    int32_t n = 0;
    EXPECT_TRUE(WaitFor([&] { return (n = rx.RecvFrom(from, buf, sizeof buf)) != 0; }));
    EXPECT_EQ(n, 3);
}

}  // namespace
