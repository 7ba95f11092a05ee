#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "Orbilume/CSources/Net/CUDPPort.h"
#include "Orbilume/CSources/Osc/COSCSender.h"
#include "tests/Orbilume/CSources/Net/NetTestLoop.h"
#include "tests/Orbilume/CSources/Osc/OscBytes.h"

namespace {

using nettest::kLoopback;
using osctest::B;
using osctest::BE32;

struct COSCSenderTest : ::testing::Test {
    nettest::MainLoop main;
    nettest::Recorder owner;
    std::unique_ptr<COSCSender> sender = std::make_unique<COSCSender>(&owner, main.Loop());
    nettest::RawUdp peer;

    void SetUp() override { ASSERT_EQ(sender->Open(kLoopback), CUDPPort::kOk); }
    CNetAddress To() const { return CNetAddress::IPv4(kLoopback, peer.Port()); }
};

TEST_F(COSCSenderTest, MessagesGoOutInOrderOneAtATime) {
    for (int i = 1; i <= 3; ++i) {
        OscArg a = OscArg::Int(i);
        sender->SendMessage(To(), "/scene", &a, 1);
    }
    // The first is in flight, the others wait for its completion.
    EXPECT_EQ(sender->QueuedCount(), 3u);
    EXPECT_EQ(owner.Count(COSCSender_UDP_SentA), 0);
    ASSERT_TRUE(main.RunUntil([&] { return owner.Count(COSCSender_UDP_SentA) == 3; }));
    EXPECT_EQ(sender->QueuedCount(), 0u);
    for (int i = 1; i <= 3; ++i)
        EXPECT_EQ(osctest::Hex(peer.Receive()), osctest::Hex(B("/scene\0\0,i\0\0", 12) + BE32(uint32_t(i))));
    EXPECT_EQ(peer.Receive(), "") << "a packet went out twice";
}

TEST_F(COSCSenderTest, FullQueueDropsNewMessagesAndCountsThem) {
    const uint32_t extra = 10;
    for (uint32_t i = 0; i < COSCSender::kMaxQueued + extra; ++i) sender->SendMessage(To(), "/x", nullptr, 0);
    EXPECT_EQ(sender->QueuedCount(), COSCSender::kMaxQueued);
    EXPECT_EQ(sender->DroppedCount(), extra);
    ASSERT_TRUE(main.RunUntil([&] { return sender->QueuedCount() == 0; }));
    EXPECT_EQ(owner.Count(COSCSender_UDP_SentA), int(COSCSender::kMaxQueued));
}

TEST_F(COSCSenderTest, ClosedSenderDropsMessages) {
    sender->Close();
    sender->SendMessage(To(), "/x", nullptr, 0);
    EXPECT_EQ(sender->QueuedCount(), 0u);
}

TEST_F(COSCSenderTest, RepliesAreReadAndDiscarded) {
    sender->SendMessage(To(), "/x", nullptr, 0);
    ASSERT_TRUE(main.RunUntil([&] { return owner.Count(COSCSender_UDP_SentA) == 1; }));
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(peer.SendTo(sender->LocalPort(), std::string(100, 'r')));
    main.Spin(0.05);
    // Reads are consumed by the sender, never passed up.
    EXPECT_EQ(owner.Count(CUDPPort_Read), 0);
    sender->SendMessage(To(), "/y", nullptr, 0);
    ASSERT_TRUE(main.RunUntil([&] { return owner.Count(COSCSender_UDP_SentA) == 2; }));
}

}  // namespace
