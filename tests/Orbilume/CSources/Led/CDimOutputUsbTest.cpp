#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Orbilume/CSources/Led/CDimOutput.h"
#include "Orbilume/CSources/UsbDmx/CDmxIoManager.h"
#include "Platform/USB/sim/SimDmxInterface.h"
#include "tests/Orbilume/CSources/Led/DimOutputFixture.h"
#include "tests/Orbilume/CSources/Net/NetTestLoop.h"
#include "tests/Orbilume/CSources/UsbDmx/UsbDmxTestLoop.h"

#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

using namespace dimtest;
using plat::sim::SimDmxInterface;
using Bytes = std::vector<uint8_t>;

// The output with a USB device on the simulated interface "SIM1" behind the manager, whose state
// writer fills the preferences' USB interface state set as the application's does.
struct DimOutputUsbTest : ::testing::Test {
    nettest::MainLoop main;
    usbdmxtest::TestLoop input;
    plat::sim::SimUsbHost host;
    plat::Ref<SimDmxInterface> sim = SimDmxInterface::Make(2, 3, "SIM1");
    Documents docs;
    std::unique_ptr<CDmxIoManager> manager;
    std::unique_ptr<CDimOutput> output;
    std::vector<uint32_t> frame = std::vector<uint32_t>(16 * 16, 0xFF0A141E);

    static void WriteState(void* self, const std::string& key, int32_t value) {
        auto* t = static_cast<DimOutputUsbTest*>(self);
        CParamSet::PutIntAt(CRecordRef(&t->docs.prefs.Root()->Slot(CAppPrefs::kPrefUsbDmxState).record),
                            LString(key.c_str()), value);
    }
    void SetUp() override {
        host.Plug(sim.get());
        manager =
            std::make_unique<CDmxIoManager>(input.Loop(), plat::RunLoop::Current(), &WriteState, this, &host);
        ASSERT_TRUE(
            docs.Read(DimsXml({{.dxch = 1, .conn = 1, .universe = "", .serial = "SIM1"},
                               {.x = 0.3f, .dxch = 4, .conn = 1, .universe = "", .serial = "SIM1"}})));
        UDimPrefs::SetUse(docs.Settings(), true);
        output =
            std::make_unique<CDimOutput>(main.Loop(), manager.get(), &docs.prefs, &docs.dims, &docs.defs);
        output->Resize(16, 16);
    }
    void TearDown() override {
        output.reset();
        manager.reset();
    }
    bool Pump(const std::function<bool()>& done) { return main.RunUntil(done, 5); }
    Bytes Expected() const {
        Bytes b(513, 0);
        for (int i : {1, 4}) {
            b[i] = 0x0A;
            b[i + 1] = 0x14;
            b[i + 2] = 0x1E;
        }
        return b;
    }
};

TEST_F(DimOutputUsbTest, FramesAndTimingReachTheInterface) {
    ASSERT_EQ(output->PortCount(), 1u);  // both devices share the interface's port
    EXPECT_EQ(manager->EntryCount(), 1u);
    // The default timing at start.
    ASSERT_TRUE(Pump([&] { return !sim->ControlData().empty(); }));
    EXPECT_EQ(sim->ControlData()[0], (Bytes{84, 0, 0, 0}));
    output->SampleFrame(frame.data(), 16, 16);
    output->SendPass();
    ASSERT_TRUE(Pump([&] { return !sim->Frames().empty(); }));
    EXPECT_EQ(sim->Frames().back(), Expected());
    // A changed "dmxtiming" reaches it, clamped to 0..255.
    UDimPrefs::SetDmxTiming(docs.Settings(), {300, 12, -4});
    // The three values are stored one at a time, each a change the output follows: the last
    // transfer carries them all.
    const Bytes timing{255, 12, 0, 0};
    ASSERT_TRUE(Pump([&] { return sim->ControlData().size() >= 2 && sim->ControlData().back() == timing; }))
        << sim->ControlData().size() << " transfers";
    EXPECT_EQ(docs.DeviceAt(0)->GetByte(T::kDidvPortFault), 0);
}

TEST_F(DimOutputUsbTest, UnplugSetsTheFaultPlugClearsItUseOffReleases) {
    ASSERT_TRUE(manager->StartWatching());
    host.Unplug(sim.get());
    ASSERT_TRUE(Pump([&] { return docs.DeviceAt(0)->GetByte(T::kDidvPortFault) == 1; }));
    EXPECT_EQ(docs.DeviceAt(1)->GetByte(T::kDidvPortFault), 1);
    host.Plug(sim.get());
    ASSERT_TRUE(Pump([&] { return docs.DeviceAt(0)->GetByte(T::kDidvPortFault) == 0; }));
    output->SampleFrame(frame.data(), 16, 16);
    output->SendPass();
    ASSERT_TRUE(Pump([&] { return !sim->Frames().empty(); }));
    EXPECT_EQ(sim->Frames().back(), Expected());
    // "use" off gives every output claim back: the manager closes the interface.
    UDimPrefs::SetUse(docs.Settings(), false);
    EXPECT_EQ(output->PortCount(), 0u);
    EXPECT_EQ(manager->EntryCount(), 0u);
    // The claim is free again for another user.
    CDmxIO* io = manager->Acquire("SIM1", CDmxIoManager::kOutput);
    EXPECT_NE(io, nullptr);
    if (io) manager->Release(io, CDmxIoManager::kOutput);
}

// An output made before the application has its manager claims the interface once it is handed
// one, and gives the claim back when the manager is taken away again.
TEST_F(DimOutputUsbTest, AManagerHandedLaterIsUsedAndTakenBack) {
    output.reset();
    EXPECT_EQ(manager->EntryCount(), 0u);
    output = std::make_unique<CDimOutput>(main.Loop(), nullptr, &docs.prefs, &docs.dims, &docs.defs);
    output->Resize(16, 16);
    ASSERT_TRUE(output->IsStarted());
    EXPECT_EQ(output->PortCount(), 0u);
    output->SetUsbManager(manager.get());
    EXPECT_TRUE(output->IsStarted());
    ASSERT_EQ(output->PortCount(), 1u);
    EXPECT_EQ(manager->EntryCount(), 1u);
    output->SampleFrame(frame.data(), 16, 16);
    output->SendPass();
    ASSERT_TRUE(Pump([&] { return !sim->Frames().empty(); }));
    EXPECT_EQ(sim->Frames().back(), Expected());
    output->SetUsbManager(nullptr);
    EXPECT_TRUE(output->IsStarted());
    EXPECT_EQ(output->PortCount(), 0u);
    EXPECT_EQ(manager->EntryCount(), 0u);
}

}  // namespace
