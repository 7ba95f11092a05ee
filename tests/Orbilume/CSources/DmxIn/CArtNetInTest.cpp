// Runs inside the test's own network namespace (netns-run): port 6454 is the namespace's own.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <vector>

#include "Orbilume/CSources/DmxIn/CArtNetIn.h"
#include "Orbilume/CSources/DmxIn/CDmxInMerge.h"
#include "tests/Orbilume/CSources/Net/NetTestLoop.h"
#include "tests/support/TempDir.h"

namespace {

using nettest::kLoopback;

// The application's Art-Net callback: frames of the configured port address go to the merge.
struct Owner {
    CDmxInMerge* merge = nullptr;
    uint16_t portAddress = 0;
    int frames = 0;
    std::vector<uint8_t> slots;
    static void Callback(void* self, const CNetAddress& from, uint32_t length, const uint8_t* d) {
        auto* o = static_cast<Owner*>(self);
        dmxpkt::ArtDmxView v;
        if (!dmxpkt::AcceptArtDmx(d, length, o->portAddress, &v)) return;
        ++o->frames;
        o->slots.assign(v.slots, v.slots + v.length);
        DmxInSource s;
        s.kind = DmxInSource::kArtNet;
        s.priority = 100;
        s.address = from;
        if (o->merge) o->merge->Offer(s, v.length, v.slots);
    }
};

struct Sink {
    int calls = 0;
    std::vector<uint8_t> data;
    static void Deliver(void* self, const DmxInSource&, const uint8_t* d, uint32_t n) {
        auto* k = static_cast<Sink*>(self);
        ++k->calls;
        k->data.assign(d, d + n);
    }
};

struct ArtNetInTest : ::testing::Test {
    nettest::MainLoop main;
    LHandler root{nullptr};
    testsupport::TempDir dir;
    CUdpSocket sender{nullptr, nullptr};

    CUdpMuxLink::Config Config() {
        CUdpMuxLink::Config c;
        c.folder = dir.Path();
        return c;
    }
    void SetUp() override { ASSERT_EQ(sender.Open(0, CUdpSocket::kFamilyIPv4, 0, 0, nullptr), 0); }
    void Send(uint16_t universe, uint8_t first, uint16_t length = 3) {
        uint8_t slots[512] = {};
        for (int i = 0; i < 3; ++i) slots[i] = uint8_t(first + i);
        uint8_t p[dmxpkt::kArtDmxSize];
        dmxpkt::BuildArtDmx(p, universe, slots);
        p[16] = uint8_t(length >> 8);
        p[17] = uint8_t(length);
        ASSERT_GT(sender.SendTo(CNetAddress::IPv4(kLoopback, dmxpkt::kArtNetPort), p, 18 + length), 0);
    }
    // Sends the frame again until done(): a receiver that has just started may not be listening yet.
    bool SendUntil(uint16_t universe, uint8_t first, const std::function<bool()>& done) {
        for (int i = 0; i < 50; ++i) {
            Send(universe, first);
            if (main.RunUntil(done, 0.1)) return true;
        }
        return false;
    }
};

TEST_F(ArtNetInTest, TwoReceiversShareThePortAndTheSurvivorTakesOver) {
    Owner a, b;
    a.portAddress = b.portAddress = 0x12;
    auto first = std::make_unique<CArtNetIn>(&root, main.Loop(), &a, &Owner::Callback, Config());
    CArtNetIn second(&root, main.Loop(), &b, &Owner::Callback, Config());
    ASSERT_TRUE(first->Start());
    ASSERT_TRUE(second.Start());
    EXPECT_TRUE(first->Link().IsServing());
    EXPECT_FALSE(second.Link().IsServing());

    Send(0x13, 99);  // another port address: not offered
    ASSERT_TRUE(SendUntil(0x12, 10, [&] { return a.frames >= 1 && b.frames >= 1; }));
    EXPECT_EQ(a.slots, (std::vector<uint8_t>{10, 11, 12}));
    EXPECT_EQ(b.slots, a.slots);

    // The serving receiver goes away; the other wins the election after its connection breaks.
    first.reset();
    ASSERT_TRUE(main.RunUntil([&] { return second.Link().IsServing() && second.IsConnected(); }));
    ASSERT_TRUE(SendUntil(0x12, 20, [&] { return b.slots == std::vector<uint8_t>{20, 21, 22}; }));
}

TEST_F(ArtNetInTest, LengthZeroDeliversTheStartCodeAloneAndShortPacketsAreDropped) {
    Owner o;
    Sink sink;
    CDmxInMerge merge(&sink, &Sink::Deliver);
    o.merge = &merge;
    CArtNetIn in(&root, main.Loop(), &o, &Owner::Callback, Config());
    ASSERT_TRUE(in.Start());
    Send(0, 1, 0);
    ASSERT_TRUE(main.RunUntil([&] { return sink.calls >= 1; }));
    EXPECT_EQ(sink.data, (std::vector<uint8_t>{0}));
    // Length says 100, 3 slots sent: dropped, not filled from the buffer.
    uint8_t p[dmxpkt::kArtDmxSize];
    dmxpkt::BuildArtDmx(p, 0, nullptr);
    p[16] = 0;
    p[17] = 100;
    ASSERT_GT(sender.SendTo(CNetAddress::IPv4(kLoopback, dmxpkt::kArtNetPort), p, 21), 0);
    ASSERT_TRUE(main.RunUntil([&] { return in.Dropped() == 1; }));
    EXPECT_EQ(o.frames, 1);
}

TEST_F(ArtNetInTest, ZeroLengthFrameDropsTheStream) {
    Owner o;
    CArtNetIn in(&root, main.Loop(), &o, &Owner::Callback, Config());
    ASSERT_TRUE(in.Start());
    // A raw client that sends a header with length 0.
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    std::snprintf(a.sun_path, sizeof a.sun_path, "%s/tessaroudpmuxsvran", dir.Path().c_str());
    ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    const uint8_t header[8] = {127, 0, 0, 1, 0x19, 0x36, 0, 0};
    ASSERT_EQ(write(fd, header, 8), 8);
    char c;
    // The server closes it (end of stream), and the receiver's own connection keeps working.
    ASSERT_TRUE(main.RunUntil([&] { return read(fd, &c, 1) == 0; }));
    close(fd);
    ASSERT_TRUE(SendUntil(0, 5, [&] { return o.frames >= 1; }));
}

TEST_F(ArtNetInTest, FailedConnectRecoversByItself) {
    Owner o;
    // The folder does not exist yet: the election and the connect fail.
    CUdpMuxLink::Config c = Config();
    c.folder = dir.Path() + "/later";
    CArtNetIn in(&root, main.Loop(), &o, &Owner::Callback, c);
    EXPECT_FALSE(in.Start());
    EXPECT_TRUE(in.Link().IsFailed());
    ASSERT_EQ(mkdir(c.folder.c_str(), 0700), 0);
    ASSERT_TRUE(main.RunUntil([&] { return in.IsConnected(); }));
    ASSERT_TRUE(SendUntil(0, 7, [&] { return o.frames >= 1; }));
}

}  // namespace
