#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include "Orbilume/CSources/Net/CNetAddress.h"
#include "Orbilume/CSources/Osc/OscServer.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/RunLoop.h"
#include "tests/Orbilume/CSources/Net/NetTestLoop.h"
#include "tests/Orbilume/CSources/Osc/OscBytes.h"
#include "tests/Orbilume/CSources/Osc/OscRecorder.h"

namespace {

using nettest::kLoopback;
using osctest::B;
using osctest::BE32;

struct OscServerTest : ::testing::Test {
    nettest::MainLoop main;
    osctest::OscRecorder listener;
    OscServer server{&listener};
    nettest::RawUdp peer;

    void SetUp() override {
        listener.addresses = {"/layer/1", "/dmx", "/fader1"};
        ASSERT_EQ(server.Open(0, kLoopback), 0);
        ASSERT_NE(server.LocalPort(), 0);
    }
    bool Send(const std::string& bytes) { return peer.SendTo(server.LocalPort(), bytes); }
    // Turns the loop until the peer has a datagram; "" when none came.
    std::string PeerReceive(double seconds = 2) {
        bool ready = main.RunUntil(
            [&] {
                pollfd p{peer.Fd(), POLLIN, 0};
                return poll(&p, 1, 0) == 1;
            },
            seconds);
        return ready ? peer.Receive() : std::string();
    }
    bool WaitFor(size_t n) {
        return main.RunUntil([&] { return listener.messages.size() >= n; });
    }
};

const std::string kLayer = B("/layer/1\0\0\0\0,f\0\0\x3f\0\0\0", 20);

TEST_F(OscServerTest, MessageReachesTheListenerWithItsPattern) {
    ASSERT_TRUE(Send(kLayer));
    ASSERT_TRUE(WaitFor(1));
    EXPECT_EQ(listener.messages[0], "/layer/1 ,f 0.50");
    ASSERT_TRUE(Send(B("/fader?\0,i\0\0", 12) + BE32(3)));
    ASSERT_TRUE(WaitFor(2));
    EXPECT_EQ(listener.messages[1], "/fader1 ,i 3");
}

TEST_F(OscServerTest, PingIsAnsweredWithTheSameArguments) {
    std::string args = BE32(1) + BE32(0x40200000) + B("x\0\0\0", 4);
    ASSERT_TRUE(Send(B("/ping\0\0\0,ifs\0\0\0\0", 16) + args));
    std::string pong = PeerReceive();
    EXPECT_EQ(osctest::Hex(pong), osctest::Hex(B("/pong\0\0\0,ifs\0\0\0\0", 16) + args));
    EXPECT_TRUE(listener.messages.empty());
}

TEST_F(OscServerTest, PingWithAnUnknownTagIsNotAnswered) {
    ASSERT_TRUE(Send(B("/ping\0\0\0,d\0\0", 12) + BE32(0) + BE32(0)));
    ASSERT_TRUE(Send(kLayer));
    ASSERT_TRUE(WaitFor(1));
    EXPECT_EQ(server.DroppedCount(), 1u);
    std::string none = PeerReceive(0.1);
    EXPECT_EQ(none, "");
}

TEST_F(OscServerTest, TwoDatagramsArrivingTogetherAreHandledInOnePass) {
    ASSERT_TRUE(Send(kLayer));
    ASSERT_TRUE(Send(kLayer));
    usleep(50000);  // both are queued before the loop turns
    ASSERT_TRUE(WaitFor(1));
    EXPECT_EQ(listener.messages.size(), 2u);
}

// A message whose blob runs past its bundle element must not lend its arguments to the next one.
TEST_F(OscServerTest, BlobRunningPastItsElementIsNeverDelivered) {
    std::string cut = B("/dmx\0\0\0\0,b\0\0", 12) + BE32(512) + "abcd";
    std::string dmx = B("/dmx\0\0\0\0,b\0\0", 12) + BE32(3) + B("\1\2\3\0", 4);
    ASSERT_TRUE(Send(osctest::Bundle(1, {cut, dmx})));
    ASSERT_TRUE(WaitFor(1));
    main.Spin(0.02);
    ASSERT_EQ(listener.messages.size(), 1u);
    EXPECT_EQ(listener.messages[0], "/dmx ,b b3");
    ASSERT_EQ(listener.argsOfLast.size(), 1u);
    EXPECT_EQ(listener.argsOfLast[0].value.b[0], 1);
    EXPECT_EQ(listener.argsOfLast[0].value.b[2], 3);
    EXPECT_EQ(server.DroppedCount(), 1u);
}

TEST_F(OscServerTest, MalformedDatagramsAreDroppedAndTheNextIsRead) {
    const std::string bad[] = {
        B("/x\0\0", 4) + BE32(1),                               // no type tags
        B("/x\0\0,i\0\0\0\0", 10),                              // cut short
        B("#bundle\0\0\0\0\0\0\0\0\1", 16) + BE32(0x7fffffff),  // element size past the end
        std::string(1536, '\xff'),
    };
    for (const auto& b : bad) ASSERT_TRUE(Send(b));
    ASSERT_TRUE(Send(kLayer));
    ASSERT_TRUE(WaitFor(1));
    EXPECT_EQ(listener.messages[0], "/layer/1 ,f 0.50");
}

TEST_F(OscServerTest, FloodYieldsToTheLoopBetweenPasses) {
    int fd = -1;
    // The socket's buffer must hold the whole flood.
    {
        // Find the server's socket by its port.
        for (int i = 3; i < 1024 && fd < 0; ++i) {
            sockaddr_storage a{};
            socklen_t len = sizeof a;
            if (getsockname(i, reinterpret_cast<sockaddr*>(&a), &len) != 0) continue;
            CNetAddress n;
            if (n.FromSockaddr(reinterpret_cast<sockaddr*>(&a), len) && n.port == server.LocalPort()) fd = i;
        }
    }
    ASSERT_GE(fd, 0);
    int size = 8 << 20;
    if (setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) != 0)
        (void)setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    for (int i = 0; i < 1000; ++i) ASSERT_TRUE(Send(kLayer));
    usleep(50000);
    static size_t atTimer = 0;
    static osctest::OscRecorder* rec = nullptr;
    rec = &listener;
    atTimer = 0;
    plat::Ref<plat::RunLoopTimer> timer = plat::RunLoopTimer::Create(
        plat::ClockNow(), 0, [](plat::RunLoopTimer*, void*) { atTimer = rec->messages.size() + 1; }, nullptr);
    ASSERT_TRUE(plat::RunLoop::Main()->AddTimer(timer.get(), plat::kRunLoopCommonModes));
    ASSERT_TRUE(main.RunUntil([&] { return listener.messages.size() >= 1000 && atTimer != 0; }, 10));
    timer->Invalidate();
    EXPECT_EQ(listener.messages.size(), 1000u);
    EXPECT_LT(atTimer - 1, 1000u) << "the timer waited for the whole flood";
    EXPECT_EQ(server.DatagramCount(), 1000u);
}

}  // namespace
