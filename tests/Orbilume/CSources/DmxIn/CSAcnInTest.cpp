// Runs inside the test's own network namespace (netns-run): port 5568 and the 239.255/16 groups
// stay on its loopback.
#include <gtest/gtest.h>

#include <vector>

#include "Orbilume/CSources/DmxIn/CDmxInMerge.h"
#include "Orbilume/CSources/DmxIn/CSAcnIn.h"
#include "tests/Orbilume/CSources/Net/NetTestLoop.h"

namespace {

using nettest::kLoopback;

// The application's sACN callback: offers the frame to the merge as kind 4.
struct Owner {
    CDmxInMerge* merge = nullptr;
    int frames = 0;
    uint8_t priority = 0;
    CNetAddress from;
    std::vector<uint8_t> values;
    static void Callback(void* self, const CNetAddress& from, uint8_t priority, uint32_t count,
                         const uint8_t* values) {
        auto* o = static_cast<Owner*>(self);
        ++o->frames;
        o->priority = priority;
        o->from = from;
        o->values.assign(values, values + count);
        DmxInSource s;
        s.kind = DmxInSource::kSAcn;
        s.priority = priority;
        s.address = from;
        if (o->merge) o->merge->Offer(s, count - 1, values + 1);
    }
};

struct Sink {
    int calls = 0;
    DmxInSource source;
    std::vector<uint8_t> data;
    static void Deliver(void* self, const DmxInSource& s, const uint8_t* d, uint32_t n) {
        auto* k = static_cast<Sink*>(self);
        ++k->calls;
        k->source = s;
        k->data.assign(d, d + n);
    }
};

struct SAcnInTest : ::testing::Test {
    nettest::MainLoop main;
    LHandler root{nullptr};
    Owner owner;
    Sink sink;
    CDmxInMerge merge{&sink, &Sink::Deliver};
    CSAcnIn in{&root, main.Loop(), &owner, &Owner::Callback};
    CUdpSocket sender{nullptr, nullptr};

    void SetUp() override {
        owner.merge = &merge;
        ASSERT_EQ(sender.Open(0, CUdpSocket::kFamilyIPv4, 0, 0, nullptr), 0);
        ASSERT_TRUE(in.Open());
    }

    // Sends an E1.31 packet of universe u (1-based) with 3 slots.
    void Send(uint32_t toAddress, uint16_t u, uint8_t first, uint8_t priority = 120, uint8_t startCode = 0) {
        uint8_t values[4] = {startCode, first, uint8_t(first + 1), uint8_t(first + 2)};
        dmxpkt::E131Source s;
        s.priority = priority;
        uint8_t p[dmxpkt::kE131MaxSize];
        uint32_t n = dmxpkt::BuildE131(p, u - 1, 0, values, 4, s);
        ASSERT_EQ(sender.SendTo(CNetAddress::IPv4(toAddress, dmxpkt::kSAcnPort), p, n), int32_t(n));
    }
};

TEST_F(SAcnInTest, GroupFrameReachesTheSinkOnTheMainLoop) {
    ASSERT_TRUE(in.SetUniverse(1));
    Send(CSAcnIn::GroupOf(1), 1, 10);
    ASSERT_TRUE(main.RunUntil([&] { return sink.calls >= 1; }));
    EXPECT_EQ(owner.priority, 120);
    EXPECT_EQ(sink.source.kind, DmxInSource::kSAcn);
    EXPECT_EQ(sink.source.priority, 120u);
    EXPECT_EQ(sink.source.address.IPv4Address(), owner.from.IPv4Address());
    EXPECT_EQ(sink.source.address.port, sender.LocalPort());
    EXPECT_EQ(sink.data, (std::vector<uint8_t>{0, 10, 11, 12}));
}

TEST_F(SAcnInTest, ChangingTheUniverseSwapsTheGroups) {
    ASSERT_TRUE(in.SetUniverse(1));
    ASSERT_TRUE(in.SetUniverse(2));
    // Group 1 is left: nothing of it arrives. Group 2 arrives.
    Send(CSAcnIn::GroupOf(1), 1, 20);
    Send(CSAcnIn::GroupOf(2), 2, 30);
    ASSERT_TRUE(main.RunUntil([&] { return owner.frames >= 1; }));
    main.Spin(0.05);
    EXPECT_EQ(owner.frames, 1);
    EXPECT_EQ(owner.values[1], 30);
    EXPECT_EQ(in.Dropped(), 0u);
}

TEST_F(SAcnInTest, FiltersUniverseAndStartCode) {
    ASSERT_TRUE(in.SetUniverse(5));
    Send(kLoopback, 6, 1);             // another universe
    Send(kLoopback, 5, 2, 120, 0xDD);  // a non-zero start code
    Send(kLoopback, 5, 3);             // accepted
    ASSERT_TRUE(main.RunUntil([&] { return owner.frames >= 1; }));
    main.Spin(0.05);
    EXPECT_EQ(owner.frames, 1);
    EXPECT_EQ(owner.values[1], 3);
    EXPECT_EQ(in.Dropped(), 2u);
}

TEST_F(SAcnInTest, UniversesOutsideTheGroupRangeAreRefused) {
    ASSERT_TRUE(in.SetUniverse(7));
    for (int32_t bad : {0, -1, 64000, 65535, 65536, INT32_MAX}) {
        EXPECT_FALSE(in.SetUniverse(bad)) << bad;
        EXPECT_EQ(in.Universe(), 7) << bad;
    }
    Send(CSAcnIn::GroupOf(7), 7, 40);
    ASSERT_TRUE(main.RunUntil([&] { return owner.frames >= 1; }));
    EXPECT_EQ(owner.values[1], 40);
}

TEST_F(SAcnInTest, ClosedReceiverStoresNoUniverse) {
    in.Close();
    EXPECT_FALSE(in.SetUniverse(3));
    EXPECT_EQ(in.Universe(), -1);
}

}  // namespace
