#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <string>
#include <thread>

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
    CDmxIo* out = manager->Acquire("A", CDmxIoManager::kOutput);
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
    CDmxIo* io = manager->Acquire(key, CDmxIoManager::kInput);
    ASSERT_NE(io, nullptr);
    EXPECT_TRUE(io->IsOpen());
}

TEST_F(DmxIoManagerTest, HotPlugClosesAndReopensOnTheMainThread) {
    ASSERT_TRUE(manager->StartWatching());
    CDmxIo* io = manager->Acquire("B", CDmxIoManager::kInput);
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
    CDmxIo* io = manager->Acquire("A", CDmxIoManager::kInput);
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
        CDmxIo* io = manager->Acquire("A", CDmxIoManager::kInput);
        ASSERT_NE(io, nullptr);
        std::thread feeder([&] {
            for (int i = 0; i < 8; ++i) (void)a->CompleteRead(0, {0x00, 0x01});
        });
        manager->Release(io, CDmxIoManager::kInput);
        feeder.join();
        EXPECT_EQ(manager->EntryCount(), 0u);
    }
}

}  // namespace
