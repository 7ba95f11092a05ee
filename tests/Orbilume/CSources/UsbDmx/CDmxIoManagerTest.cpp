#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "Orbilume/CSources/DmxIn/CDmxInMerge.h"
#include "Orbilume/CSources/UsbDmx/CDmxIoFinder.h"
#include "Orbilume/CSources/UsbDmx/CDmxIoManager.h"
#include "Platform/USB/sim/SimDmxInterface.h"
#include "tests/Orbilume/CSources/UsbDmx/UsbDmxTestLoop.h"

namespace {

using plat::sim::SimDmxInterface;

TEST(DmxIoFinderTest, KeyIsTheSerialElseTheLocation) {
    struct Case {
        std::string serial;
        uint32_t location;
        std::string key;
    } cases[] = {
        {"SIM0002", 0x02300000, "SIM0002"},
        {"", 0x02300000, "02300000"},
        {"", 0x00123456, "00123456"},  // six digits get two leading zeros
        {"", 0, ""},                   // neither: never matched
        {std::string("a\x01\x7F"
                     "b",
                     4),
         0, "a__b"},
        {std::string(300, 'x'), 0, std::string(CDmxIoFinder::kMaxKey, 'x')},
    };
    for (const Case& c : cases) {
        plat::UsbDeviceInfo info;
        info.serial = c.serial;
        info.locationId = c.location;
        EXPECT_EQ(CDmxIoFinder::GetKey(info), c.key) << c.serial;
    }
}

struct DmxIoManagerTest : ::testing::Test {
    usbdmxtest::TestLoop loop;
    plat::sim::SimUsbHost host;
    plat::Ref<SimDmxInterface> a = SimDmxInterface::Make(2, 3, "A");
    plat::Ref<SimDmxInterface> b = SimDmxInterface::Make(2, 4, "B");
    plat::Ref<SimDmxInterface> noSerial = SimDmxInterface::Make(2, 5, "");
    std::map<std::string, int> states;
    std::map<std::string, int> writes;
    std::thread::id writer;
    std::unique_ptr<CDmxIoManager> manager;

    static void Write(void* self, const std::string& key, int32_t value) {
        auto* t = static_cast<DmxIoManagerTest*>(self);
        t->states[key] = value;
        ++t->writes[key];
        t->writer = std::this_thread::get_id();
    }
    void SetUp() override {
        host.Plug(a.get());
        host.Plug(b.get());
        host.Plug(noSerial.get());
        manager = std::make_unique<CDmxIoManager>(loop.Loop(), plat::RunLoop::Current(), &Write, this, &host);
    }
    void TearDown() override { manager.reset(); }
    template <class F>
    bool Pump(F done) {
        for (int i = 0; i < 200; ++i) {
            if (done()) return true;
            plat::RunLoop::Current()->RunInMode(plat::kRunLoopDefaultMode, 0.01, false);
        }
        return done();
    }
};

TEST_F(DmxIoManagerTest, ClaimTable) {
    CDmxIO* out = manager->Acquire("A", CDmxIoManager::kOutput);
    ASSERT_NE(out, nullptr);
    EXPECT_TRUE(out->IsOpen());
    EXPECT_EQ(states["A"], 1);
    EXPECT_EQ(manager->Acquire("A", CDmxIoManager::kOutput), nullptr);
    EXPECT_EQ(manager->Acquire("A", CDmxIoManager::kInput), out);
    manager->Release(out, CDmxIoManager::kOutput);
    EXPECT_EQ(manager->EntryCount(), 1u);
    EXPECT_TRUE(out->IsOpen());
    manager->Release(out, CDmxIoManager::kInput);
    EXPECT_EQ(manager->EntryCount(), 0u);
    EXPECT_EQ(states["A"], 0);
    EXPECT_FALSE(a->IsClaimed());
    EXPECT_EQ(manager->Acquire("", CDmxIoManager::kInput), nullptr);
}

TEST_F(DmxIoManagerTest, DeviceWithoutSerialIsFoundByLocation) {
    plat::UsbDeviceInfo info = noSerial->Info();
    const std::string key = CDmxIoFinder::GetKey(info);
    ASSERT_EQ(key.size(), 8u);
    CDmxIO* io = manager->Acquire(key, CDmxIoManager::kInput);
    ASSERT_NE(io, nullptr);
    EXPECT_TRUE(io->IsOpen());
}

TEST_F(DmxIoManagerTest, HotPlugClosesAndReopensOnTheMainThread) {
    ASSERT_TRUE(manager->StartWatching());
    CDmxIO* io = manager->Acquire("B", CDmxIoManager::kInput);
    ASSERT_NE(io, nullptr);
    ASSERT_TRUE(io->IsOpen());
    host.Unplug(b.get());
    ASSERT_TRUE(Pump([&] { return states["B"] == 0; }));
    EXPECT_FALSE(io->IsOpen());
    EXPECT_EQ(writer, std::this_thread::get_id());
    host.Plug(b.get());
    ASSERT_TRUE(Pump([&] { return states["B"] == 1; }));
    EXPECT_TRUE(io->IsOpen());
    EXPECT_EQ(writer, std::this_thread::get_id());
}

TEST_F(DmxIoManagerTest, PipeFailureReopensAtOnce) {
    CDmxIO* io = manager->Acquire("A", CDmxIoManager::kInput);
    ASSERT_NE(io, nullptr);
    ASSERT_TRUE(Pump([&] { return a->PendingReads() == CDmxIo::kReads; }));
    const int before = writes["A"];
    ASSERT_TRUE(a->CompleteRead(0, {}, plat::UsbStatus::kFailed));
    ASSERT_TRUE(Pump([&] { return writes["A"] > before; }));
    EXPECT_EQ(states["A"], 1);
    EXPECT_TRUE(io->IsOpen());
    EXPECT_EQ(writer, std::this_thread::get_id());
}

// Releasing while completions arrive on the input loop must not touch a deleted interface.
TEST_F(DmxIoManagerTest, ReleaseWhileReadsComplete) {
    for (int round = 0; round < 20; ++round) {
        CDmxIO* io = manager->Acquire("A", CDmxIoManager::kInput);
        ASSERT_NE(io, nullptr);
        std::thread feeder([&] {
            for (int i = 0; i < 8; ++i) (void)a->CompleteRead(0, {0x00, 0x01});
        });
        manager->Release(io, CDmxIoManager::kInput);
        feeder.join();
        EXPECT_EQ(manager->EntryCount(), 0u);
    }
}

TEST_F(DmxIoManagerTest, SendReportsClosedBusyAndClampsFrames) {
    CDmxIO* io = manager->Acquire("A", CDmxIoManager::kOutput);
    ASSERT_NE(io, nullptr);
    a->SetHoldWrites(true);
    std::vector<uint8_t> big(600, 7);
    big[0] = 0;
    EXPECT_EQ(io->Send(big.data(), 0), CDmxIO::kSendQueued);  // nothing queued
    EXPECT_EQ(io->Send(big.data(), uint32_t(big.size())), CDmxIO::kSendQueued);
    ASSERT_TRUE(Pump([&] { return a->PendingWrites() > 0; }));
    EXPECT_EQ(io->Send(big.data(), 3), CDmxIO::kSendQueued);  // waits behind the frame on the wire
    EXPECT_EQ(io->Send(big.data(), 4), CDmxIO::kSendBusy);    // dropped
    a->SetHoldWrites(false);
    while (a->PendingWrites() > 0) ASSERT_TRUE(a->CompleteWrite(0));
    ASSERT_TRUE(Pump([&] {
        while (a->PendingWrites() > 0) (void)a->CompleteWrite(0);
        return a->Frames().size() == 2;
    }));
    const auto frames = a->Frames();
    EXPECT_EQ(frames[0].size(), 513u);
    EXPECT_EQ(frames[1].size(), 3u);
    host.Unplug(a.get());
    ASSERT_TRUE(Pump([&] { return !io->IsOpen(); }));
    EXPECT_EQ(io->Send(big.data(), 3), CDmxIO::kSendClosed);
}

TEST_F(DmxIoManagerTest, TimingSetsCoalesceToTheLatest) {
    CDmxIO* io = manager->Acquire("A", CDmxIoManager::kOutput);
    ASSERT_NE(io, nullptr);
    a->SetHoldControls(true);
    io->SetTiming(10, 11, 12);
    ASSERT_TRUE(Pump([&] { return a->PendingControls() == 1; }));
    io->SetTiming(20, 21, 22);
    io->SetTiming(30, 31, 32);
    a->SetHoldControls(false);
    ASSERT_TRUE(a->CompleteControl(0));
    ASSERT_TRUE(Pump([&] { return a->ControlData().size() == 2; }));
    const auto data = a->ControlData();
    EXPECT_EQ(data[0], (std::vector<uint8_t>{10, 11, 12, 0}));
    EXPECT_EQ(data[1], (std::vector<uint8_t>{30, 31, 32, 0}));
}

// The owner's rule for USB input: status 0, a non-zero count and start code 0 make a kind 1 source of
// priority 100 with count - 1 slots.
struct UsbInputOwner {
    CDmxInMerge* merge = nullptr;
    std::atomic<int> frames{0};
    std::atomic<bool> onLoop{false};
    std::thread::id loopThread;
    static void Input(void* self, const uint8_t* data, uint32_t count, uint32_t status) {
        auto* o = static_cast<UsbInputOwner*>(self);
        o->onLoop = std::this_thread::get_id() == o->loopThread;
        if (status != 0 || count == 0 || data[0] != 0) return;
        DmxInSource source;
        source.kind = DmxInSource::kUsb;
        source.priority = 100;
        o->merge->Offer(source, count - 1, data + 1);
        ++o->frames;
    }
};

TEST_F(DmxIoManagerTest, InputFramesReachTheMerge) {
    struct Sink {
        std::vector<uint8_t> data;
        uint32_t kind = 0;
        static void Deliver(void* self, const DmxInSource& source, const uint8_t* d, uint32_t n) {
            auto* s = static_cast<Sink*>(self);
            s->kind = source.kind;
            s->data.assign(d, d + n);
        }
    } sink;
    CDmxInMerge merge(&sink, &Sink::Deliver);
    UsbInputOwner owner;
    owner.merge = &merge;
    owner.loopThread = loop.ThreadId();
    CDmxIO* io = manager->Acquire("B", CDmxIoManager::kInput);
    ASSERT_NE(io, nullptr);
    io->SetInputCallback(&owner, &UsbInputOwner::Input);
    // A frame ends where the next one starts.
    b->SendReports(SimDmxInterface::EncodeFrames({{0x17, 9, 9}, {0x00, 1, 2, 3}, {0x00}}));
    ASSERT_TRUE(Pump([&] { return owner.frames.load() == 1; }));
    EXPECT_TRUE(owner.onLoop.load());
    ASSERT_TRUE(Pump([&] {
        merge.Deliver();
        return !sink.data.empty();
    }));
    EXPECT_EQ(sink.kind, DmxInSource::kUsb);
    EXPECT_EQ(sink.data, (std::vector<uint8_t>{0x00, 1, 2, 3}));
    io->SetInputCallback(nullptr, nullptr);
}

}  // namespace

namespace {

// The libusb backend registers its hot-plug callback for the manager.
TEST(DmxIoManagerLibusbTest, HotPlugRegistrationSucceeds) {
    plat::UsbHost& host = plat::UsbHost::Current();
    if (!host.IsAvailable()) GTEST_SKIP() << "libusb could not start here";
    if (!host.HasHotplug()) GTEST_SKIP() << "libusb has no hot-plug here";
    usbdmxtest::TestLoop loop;
    CDmxIoManager manager(
        loop.Loop(), plat::RunLoop::Current(), [](void*, const std::string&, int32_t) {}, nullptr, &host);
    EXPECT_TRUE(manager.StartWatching());
}

}  // namespace
