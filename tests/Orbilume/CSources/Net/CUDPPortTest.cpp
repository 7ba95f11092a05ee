#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "Orbilume/CSources/Net/CSocketSelector.h"
#include "Orbilume/CSources/Net/CUDPPort.h"
#include "Orbilume/CSources/Net/NetSysCalls.h"
#include "tests/Orbilume/CSources/Net/NetTestLoop.h"

namespace {

using nettest::kLoopback;

struct CUDPPortTest : ::testing::Test {
    nettest::MainLoop main;
    nettest::Recorder owner;
    std::unique_ptr<CUDPPort> port = std::make_unique<CUDPPort>(&owner, main.Loop());

    void SetUp() override { ASSERT_EQ(port->Open(0, 0, 0, kLoopback), CUDPPort::kOk); }
    void TearDown() override { ResetNetSysCalls(); }
    CNetAddress To(uint16_t p) const { return CNetAddress::IPv4(kLoopback, p); }
};

TEST_F(CUDPPortTest, OpenReportsThePortAndAgainChangesNothing) {
    uint16_t chosen = port->LocalPort();
    EXPECT_NE(chosen, 0);
    EXPECT_TRUE(port->IsOpen());
    EXPECT_TRUE(port->CanSend());
    EXPECT_TRUE(port->CanReceive());
    EXPECT_EQ(port->Open(0, 0, 0, kLoopback), CUDPPort::kOk);
    EXPECT_EQ(port->LocalPort(), chosen);
}

TEST_F(CUDPPortTest, HeldPortGivesAddressInUse) {
    CUDPPort other(&owner, main.Loop());
    EXPECT_EQ(other.Open(port->LocalPort(), 0, 0, kLoopback), CUDPPort::kAddressInUse);
    EXPECT_FALSE(other.IsOpen());
    // An address this host does not have.
    EXPECT_EQ(other.Open(0, 0, 0, 0x0a0a0a0a), CUDPPort::kAddressInUse);
}

TEST_F(CUDPPortTest, ImmediateSendCompletesLaterFromTheLoopExactlyOnce) {
    nettest::RawUdp peer;
    const char data[] = "ping";
    EXPECT_TRUE(port->Send(To(peer.Port()), data, 4));
    EXPECT_EQ(owner.Count(CUDPPort_Sent), 0);  // never from inside Send
    EXPECT_TRUE(port->CanSend());              // nothing pending any more
    ASSERT_TRUE(main.RunUntil([&] { return owner.Count(CUDPPort_Sent) == 1; }));
    main.Spin(0.02);
    EXPECT_EQ(owner.Count(CUDPPort_Sent), 1);
    EXPECT_TRUE(port->CanSend());
    EXPECT_EQ(peer.Receive(), "ping");
}

TEST_F(CUDPPortTest, ReceiveWaitsForTheDatagramAndNamesItsSender) {
    nettest::RawUdp peer;
    char buf[64];
    EXPECT_FALSE(port->Receive(buf, sizeof buf));
    EXPECT_FALSE(port->CanReceive());
    main.Spin(0.01);
    EXPECT_EQ(owner.Count(CUDPPort_Read), 0);
    ASSERT_TRUE(peer.SendTo(port->LocalPort(), "pong!"));
    ASSERT_TRUE(main.RunUntil([&] { return owner.Count(CUDPPort_Read) == 1; }));
    EXPECT_EQ(port->ReceivedLength(), 5u);
    EXPECT_EQ(std::string(buf, 5), "pong!");
    EXPECT_EQ(port->GetSource(), To(peer.Port()));
    EXPECT_TRUE(port->CanReceive());
}

TEST_F(CUDPPortTest, QueuedDatagramIsReadAtOnceButAnnouncedLater) {
    nettest::RawUdp peer;
    ASSERT_TRUE(peer.SendTo(port->LocalPort(), "queued"));
    char buf[64];
    ASSERT_TRUE(main.RunUntil([&] { return port->Receive(buf, sizeof buf); }));
    EXPECT_EQ(owner.Count(CUDPPort_Read), 0);
    ASSERT_TRUE(main.RunUntil([&] { return owner.Count(CUDPPort_Read) == 1; }));
    EXPECT_EQ(port->ReceivedLength(), 6u);
}

TEST_F(CUDPPortTest, SendErrorsOtherThanWouldBlockCountAsSent) {
    struct Case {
        int error;
        bool atOnce;
    } cases[] = {
        {EHOSTUNREACH, true}, {ENETUNREACH, true}, {EMSGSIZE, true}, {EAGAIN, false}, {ENOBUFS, false}};
    for (const Case& c : cases) {
        static int error;
        error = c.error;
        NetSysCalls().sendTo = [](int, const void*, size_t, int, const sockaddr*, socklen_t) -> ssize_t {
            errno = error;
            return -1;
        };
        owner.ids.clear();
        const char data[] = "x";
        EXPECT_EQ(port->Send(To(9), data, 1), c.atOnce) << c.error;
        if (!c.atOnce) {
            // Would block: the datagram goes out once the socket is writable.
            ResetNetSysCalls();
        }
        ASSERT_TRUE(main.RunUntil([&] { return owner.Count(CUDPPort_Sent) == 1; })) << c.error;
        EXPECT_TRUE(port->CanSend()) << c.error;
        ResetNetSysCalls();
    }
}

TEST_F(CUDPPortTest, InjectedReceiveErrorDoesNotStallThePort) {
    nettest::RawUdp peer;
    char buf[64];
    EXPECT_FALSE(port->Receive(buf, sizeof buf));  // armed
    static int calls;
    calls = 0;
    NetSysCalls().recvFrom = [](int, void*, size_t, int, sockaddr*, socklen_t*) -> ssize_t {
        ++calls;
        errno = EIO;
        return -1;
    };
    ASSERT_TRUE(peer.SendTo(port->LocalPort(), "one"));
    ASSERT_TRUE(main.RunUntil([&] { return owner.Count(CUDPPort_Read) == 1; }));
    EXPECT_EQ(port->ReceivedLength(), 0u);
    EXPECT_EQ(port->ReceiveError(), EIO);
    EXPECT_TRUE(port->CanReceive());
    ResetNetSysCalls();
    // The datagram is still queued; the next receive gets it.
    ASSERT_TRUE(main.RunUntil([&] { return port->Receive(buf, sizeof buf); }));
    ASSERT_TRUE(main.RunUntil([&] { return owner.Count(CUDPPort_Read) == 2; }));
    EXPECT_EQ(port->ReceivedLength(), 3u);
    EXPECT_EQ(port->ReceiveError(), 0);
}

TEST_F(CUDPPortTest, RefusedAndInterruptedReceivesWaitAgain) {
    nettest::RawUdp peer;
    static int calls;
    calls = 0;
    // The first calls fail the way a refused earlier send or a signal makes them fail.
    NetSysCalls().recvFrom = [](int fd, void* b, size_t n, int f, sockaddr* a, socklen_t* l) -> ssize_t {
        if (++calls == 1) {
            errno = EINTR;
            return -1;
        }
        if (calls == 2) {
            errno = ECONNREFUSED;
            return -1;
        }
        return ::recvfrom(fd, b, n, f, a, l);
    };
    char buf[64];
    EXPECT_FALSE(port->Receive(buf, sizeof buf));
    EXPECT_EQ(calls, 2);
    main.Spin(0.01);
    EXPECT_EQ(owner.Count(CUDPPort_Read), 0);
    ASSERT_TRUE(peer.SendTo(port->LocalPort(), "late"));
    ASSERT_TRUE(main.RunUntil([&] { return owner.Count(CUDPPort_Read) == 1; }));
    EXPECT_EQ(port->ReceivedLength(), 4u);
}

TEST_F(CUDPPortTest, CloseWithAReceiveArmedGivesNoCallback) {
    nettest::RawUdp peer;
    char buf[64];
    uint16_t p = port->LocalPort();
    EXPECT_FALSE(port->Receive(buf, sizeof buf));
    port->Close();
    EXPECT_FALSE(port->IsOpen());
    peer.SendTo(p, "nobody");
    main.Spin(0.05);
    EXPECT_EQ(owner.Count(CUDPPort_Read), 0);
    EXPECT_EQ(port->Open(p, 0, 0, kLoopback), CUDPPort::kOk);  // reopens on the same port
}

TEST_F(CUDPPortTest, ClosedPortCanBeReopenedAtOnceWhileTheSelectorWaits) {
    // The service thread's poll holds the socket open until it returns: Close must wait for that.
    uint16_t p = port->LocalPort();
    char buf[8];
    for (int i = 0; i < 50; ++i) {
        EXPECT_FALSE(port->Receive(buf, sizeof buf));
        usleep(200);  // let the thread enter poll with this descriptor
        port->Close();
        ASSERT_EQ(port->Open(p, 0, 0, kLoopback), CUDPPort::kOk) << i;
    }
}

TEST_F(CUDPPortTest, EchoBetweenTwoPorts) {
    nettest::Recorder otherOwner;
    CUDPPort other(&otherOwner, main.Loop());
    ASSERT_EQ(other.Open(0, 0, 0, kLoopback), CUDPPort::kOk);
    char rx[16], back[16];
    int rounds = 0;
    const char msg[] = "echo";
    other.Receive(back, sizeof back);
    otherOwner.hook = [&](const LMessage& m) {
        if (m.Is(CUDPPort_Read)) {
            other.Send(other.GetSource(), back, other.ReceivedLength());
        } else if (m.Is(CUDPPort_Sent)) {
            other.Receive(back, sizeof back);
        }
        return true;
    };
    owner.hook = [&](const LMessage& m) {
        if (m.Is(CUDPPort_Read) && ++rounds < 50) {
            port->Receive(rx, sizeof rx);
            port->Send(CNetAddress::IPv4(kLoopback, other.LocalPort()), msg, 4);
        }
        return true;
    };
    port->Receive(rx, sizeof rx);
    port->Send(CNetAddress::IPv4(kLoopback, other.LocalPort()), msg, 4);
    EXPECT_TRUE(main.RunUntil([&] { return rounds >= 50; }));
    EXPECT_EQ(std::string(rx, 4), "echo");
}

TEST(CUDPPortLife, FirstPortStartsTheSelectorAndTheLastStopsIt) {
    nettest::MainLoop main;
    nettest::Recorder owner;
    int before = nettest::ThreadCount();
    EXPECT_FALSE(CSocketSelector::IsRunning());
    auto a = std::make_unique<CUDPPort>(&owner, main.Loop());
    EXPECT_TRUE(CSocketSelector::IsRunning());
    EXPECT_EQ(nettest::ThreadCount(), before + 1);
    auto b = std::make_unique<CUDPPort>(&owner, main.Loop());
    EXPECT_EQ(nettest::ThreadCount(), before + 1);
    a.reset();
    EXPECT_TRUE(CSocketSelector::IsRunning());
    b.reset();
    EXPECT_FALSE(CSocketSelector::IsRunning());
    EXPECT_EQ(nettest::ThreadCount(), before);
}

TEST(CUDPPortLife, OwnerMayDeleteThePortFromItsCompletion) {
    nettest::MainLoop main;
    nettest::Recorder owner;
    auto* port = new CUDPPort(&owner, main.Loop());
    ASSERT_EQ(port->Open(0, 0, 0, kLoopback), CUDPPort::kOk);
    char buf[8];
    EXPECT_FALSE(port->Receive(buf, sizeof buf));
    bool deleted = false;
    owner.hook = [&](const LMessage& m) {
        if (m.Is(CUDPPort_Read)) {
            delete port;
            deleted = true;
        }
        return true;
    };
    nettest::RawUdp peer;
    peer.SendTo(port->LocalPort(), "bye");
    EXPECT_TRUE(main.RunUntil([&] { return deleted; }));
    EXPECT_FALSE(CSocketSelector::IsRunning());
}

}  // namespace
