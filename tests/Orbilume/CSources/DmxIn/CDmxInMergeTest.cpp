#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "Orbilume/CSources/DmxIn/CDmxInMerge.h"
#include "Platform/Foundation/RunLoop.h"
#include "tests/support/FakeClock.h"

namespace {

// Records what the sink received.
struct Recorder {
    int calls = 0;
    DmxInSource source;
    std::vector<uint8_t> data;
    static void Sink(void* self, const DmxInSource& s, const uint8_t* d, uint32_t n) {
        auto* r = static_cast<Recorder*>(self);
        ++r->calls;
        r->source = s;
        r->data.assign(d, d + n);
    }
};

DmxInSource Source(uint32_t kind, uint32_t priority, uint32_t ip = 0) {
    DmxInSource s;
    s.kind = kind;
    s.priority = priority;
    if (ip) s.address = CNetAddress::IPv4(ip, 6454);
    return s;
}

class MergeTest : public ::testing::Test {
protected:
    testsupport::FakeClock clock{1000.0};
    Recorder rec;
    CDmxInMerge merge{&rec, &Recorder::Sink};

    // Offers one slot of value v; returns the kind current afterwards.
    uint32_t Offer(const DmxInSource& s, uint8_t v) {
        merge.Offer(s, 1, &v);
        return merge.Current().kind;
    }
};

TEST_F(MergeTest, TakeoverTable) {
    const DmxInSource art = Source(DmxInSource::kArtNet, 100, 0x0A000001);
    const DmxInSource art2 = Source(DmxInSource::kArtNet, 100, 0x0A000002);
    const DmxInSource usb = Source(DmxInSource::kUsb, 100);
    const DmxInSource sacn100 = Source(DmxInSource::kSAcn, 100, 0x0A000003);
    const DmxInSource sacn150 = Source(DmxInSource::kSAcn, 150, 0x0A000004);
    const DmxInSource sacn50 = Source(DmxInSource::kSAcn, 50, 0x0A000005);
    struct Step {
        const char* what;
        int64_t advanceMs;
        DmxInSource offer;
        bool accepted;
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
    } cases[] = {
        {"Art-Net first holds USB off for 10 s",
         {{"art", 0, art, true},
          {"usb at once", 1, usb, false},
          {"usb at 9.999 s", 9998, usb, false},
          {"usb at 10 s", 1, usb, true}}},
        {"USB first holds Art-Net off for 1 s",
         {{"usb", 0, usb, true}, {"art at 999 ms", 999, art, false}, {"art at 1 s", 1, art, true}}},
        {"a second Art-Net sender is another source",
         {{"art", 0, art, true}, {"art2", 5000, art2, false}, {"art again", 0, art, true}}},
        {"sACN 150 over 100 at once", {{"sacn100", 0, sacn100, true}, {"sacn150", 1, sacn150, true}}},
        {"sACN 150 over Art-Net at once", {{"art", 0, art, true}, {"sacn150", 1, sacn150, true}}},
        {"sACN 50 only after 2.5 s of silence",
         {{"sacn100", 0, sacn100, true},
          {"sacn50 at 2.499 s", 2499, sacn50, false},
          {"sacn50 at 2.5 s", 1, sacn50, true}}},
        {"the current source is kept whatever its priority now",
         {{"sacn150", 0, sacn150, true},
          {"same sender at 10", 1, Source(DmxInSource::kSAcn, 10, 0x0A000004), true},
          {"sacn100 over it", 1, sacn100, true}}},
    };
    for (const Case& c : cases) {
        CDmxInMerge m(&rec, &Recorder::Sink);
        for (const Step& s : c.steps) {
            clock.AdvanceMs(s.advanceMs);
            DmxInSource before = m.Current();
            uint8_t v = 1;
            m.Offer(s.offer, 1, &v);
            DmxInSource after = m.Current();
            bool accepted = after.kind == s.offer.kind && after.address == s.offer.address &&
                            after.priority == s.offer.priority;
            if (!s.accepted) {
                EXPECT_EQ(after.kind, before.kind) << c.name << ": " << s.what;
                EXPECT_TRUE(after.address == before.address) << c.name << ": " << s.what;
            }
            EXPECT_EQ(accepted, s.accepted) << c.name << ": " << s.what;
        }
    }
}

TEST_F(MergeTest, ClockWrapUsesTheUnsignedDifference) {
    // 2^32 ms less 500 ms: Art-Net accepted just before the wrap keeps USB out just after it.
    clock.Set((4294967296.0 - 500.0) / 1000.0);
    EXPECT_EQ(Offer(Source(DmxInSource::kArtNet, 100, 1), 1), DmxInSource::kArtNet);
    clock.AdvanceMs(1000);
    EXPECT_EQ(Offer(Source(DmxInSource::kUsb, 100), 2), DmxInSource::kArtNet);
    clock.AdvanceMs(9000);
    EXPECT_EQ(Offer(Source(DmxInSource::kUsb, 100), 3), DmxInSource::kUsb);
}

TEST_F(MergeTest, DeliversStartCodeAndAtMost512Slots) {
    std::vector<uint8_t> slots(600);
    for (size_t i = 0; i < slots.size(); ++i) slots[i] = uint8_t(i + 1);
    merge.Offer(Source(DmxInSource::kSAcn, 100, 5), 600, slots.data());
    merge.Deliver();
    ASSERT_EQ(rec.calls, 1);
    ASSERT_EQ(rec.data.size(), 513u);
    EXPECT_EQ(rec.data[0], 0);
    EXPECT_EQ(rec.data[1], 1);
    EXPECT_EQ(rec.data[512], uint8_t(512));
    EXPECT_EQ(rec.source.priority, 100u);
    EXPECT_TRUE(rec.source.address == CNetAddress::IPv4(5, 6454));

    // A shorter frame shortens the delivery; Length 0 delivers the start code alone.
    merge.Offer(Source(DmxInSource::kSAcn, 100, 5), 3, slots.data() + 10);
    merge.Deliver();
    ASSERT_EQ(rec.data.size(), 4u);
    EXPECT_EQ(rec.data[1], 11);
    merge.Offer(Source(DmxInSource::kSAcn, 100, 5), 0, nullptr);
    merge.Deliver();
    ASSERT_EQ(rec.data.size(), 1u);
    EXPECT_EQ(rec.data[0], 0);
}

TEST_F(MergeTest, NothingDeliveredBeforeTheFirstFrame) {
    merge.Deliver();
    EXPECT_EQ(rec.calls, 0);
}

// On the real clock: run-loop waits are timed by it.
TEST(DmxInMerge, BurstGivesOneDeliveryOfTheLatestFrameOnTheMainLoop) {
    Recorder rec;
    CDmxInMerge merge(&rec, &Recorder::Sink);
    auto Offer = [&](const DmxInSource& s, uint8_t v) { merge.Offer(s, 1, &v); };
    for (uint8_t v = 1; v <= 20; ++v) Offer(Source(DmxInSource::kArtNet, 100, 9), v);
    for (int i = 0; i < 50 && rec.calls == 0; ++i)
        plat::RunLoop::Main()->RunInMode(plat::kRunLoopDefaultMode, 0.01, true);
    plat::RunLoop::Main()->RunInMode(plat::kRunLoopDefaultMode, 0.02, false);
    EXPECT_EQ(rec.calls, 1);
    ASSERT_EQ(rec.data.size(), 2u);
    EXPECT_EQ(rec.data[1], 20);
    // A later frame arms the timer again.
    Offer(Source(DmxInSource::kArtNet, 100, 9), 21);
    for (int i = 0; i < 50 && rec.calls == 1; ++i)
        plat::RunLoop::Main()->RunInMode(plat::kRunLoopDefaultMode, 0.01, true);
    EXPECT_EQ(rec.calls, 2);
    EXPECT_EQ(rec.data[1], 21);
}

// The OSC path takes the hub's lock, then the merge's; the sink takes the hub's lock, so it must run
// without the merge's. The sink here asks another thread to lock the merge and waits for it.
struct Probe {
    CDmxInMerge* merge = nullptr;
    std::thread other;
    std::atomic<bool> done{false};
    bool mergeFree = false;
    static void Sink(void* self, const DmxInSource&, const uint8_t*, uint32_t) {
        auto* p = static_cast<Probe*>(self);
        p->other = std::thread([p] {
            (void)p->merge->Current();
            p->done.store(true);
        });
        for (int i = 0; i < 500 && !p->done.load(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        p->mergeFree = p->done.load();
    }
};

TEST(DmxInMerge, SinkRunsWithoutTheMergeLock) {
    Probe probe;
    CDmxInMerge m(&probe, &Probe::Sink);
    probe.merge = &m;
    uint8_t v = 7;
    m.Offer(Source(DmxInSource::kOsc, 100), 1, &v);
    m.Deliver();
    if (probe.other.joinable()) probe.other.join();
    EXPECT_TRUE(probe.mergeFree);
}

}  // namespace
