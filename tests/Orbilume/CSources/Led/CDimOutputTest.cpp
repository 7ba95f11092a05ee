#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "Common/Container/CBytes.h"
#include "Orbilume/CSources/DmxIn/CUvAdTable.h"
#include "Orbilume/CSources/DmxIn/DmxPackets.h"
#include "Orbilume/CSources/Led/CDimOutput.h"
#include "tests/Orbilume/CSources/Led/DimOutputFixture.h"
#include "tests/Orbilume/CSources/Net/NetTestLoop.h"

// Devices are written as designated initializers naming only what differs from the defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

using namespace dimtest;

// An output over a document with a fake UDP port; frames come from a pixel array.
struct DimOutputTest : ::testing::Test {
    nettest::MainLoop main;
    Documents docs;
    std::unique_ptr<CDimOutput> output;
    FakeUdp* udp = nullptr;
    std::vector<uint32_t> frame;

    void Make(const std::vector<Device>& devices, int saco = 0, const char* listed = "127.0.0.1") {
        ASSERT_TRUE(docs.Read(DimsXml(devices, saco, listed)));
        output = std::make_unique<CDimOutput>(main.Loop(), nullptr, &docs.prefs, &docs.dims, &docs.defs);
        auto port = std::make_unique<FakeUdp>(output.get(), main.Loop());
        udp = port.get();
        output->SetUdpPort(std::move(port));
        output->Resize(16, 16);
        (void)output->Table()->RebuildFromRecord();
        UDimPrefs::SetUse(docs.Settings(), true);
        ASSERT_TRUE(output->IsStarted());
        ASSERT_TRUE(udp->IsOpen());
        frame.assign(16 * 16, 0xFF102030);
    }
    void TearDown() override { output.reset(); }
    void Pass() {
        output->SampleFrame(frame.data(), 16, 16);
        output->SendPass();
    }
};

TEST_F(DimOutputTest, UniverseFieldsOfBothPackets) {
    Make({{.universe = "4660"}});  // 0x1234
    Pass();
    ASSERT_EQ(udp->sent.size(), 1u);
    const auto& art = udp->sent[0];
    ASSERT_EQ(art.bytes.size(), dmxpkt::kArtDmxSize);
    EXPECT_EQ(art.to.port, dmxpkt::kArtNetPort);
    EXPECT_EQ(art.to.IPv4Address(), 0x7F000001u);
    EXPECT_EQ(art.bytes[14], 0x34);
    EXPECT_EQ(art.bytes[15], 0x12);
    EXPECT_EQ(art.bytes[18], 0x10);  // slot 1: red
    EXPECT_EQ(art.bytes[20], 0x30);
    // E1.31 after 'saco' := 1: universe + 1, the whole 513 values, our CID and name.
    ASSERT_TRUE(docs.dims.RootRef().SetByte(nullptr, T::kDimsSacn, 1));
    Pass();
    ASSERT_EQ(udp->sent.size(), 2u);
    const auto& e = udp->sent[1];
    ASSERT_EQ(e.bytes.size(), dmxpkt::kE131MaxSize);
    EXPECT_EQ(e.to.port, dmxpkt::kSAcnPort);
    dmxpkt::E131View view;
    ASSERT_TRUE(dmxpkt::CheckE131(e.bytes.data(), e.bytes.size(), &view));
    EXPECT_EQ(view.universe, 0x1235);
    EXPECT_EQ(view.count, 513);
    EXPECT_EQ(view.values[1], 0x10);
    const dmxpkt::E131Source& source = output->Source();
    EXPECT_STREQ(source.name, "Orbilume");
    EXPECT_NE(std::vector<uint8_t>(source.cid, source.cid + 16), std::vector<uint8_t>(16, 0));
    // The CID is kept in the settings: a second output sends the same one.
    CBytes kept;
    ASSERT_GE(CParamSet::GetBytes(docs.Settings(), LString("cid"), kept), 0);
    ASSERT_EQ(kept.Count(), 16u);
    EXPECT_EQ(std::memcmp(kept.Data(), source.cid, 16), 0);
    output.reset();
    CDimOutput again(main.Loop(), nullptr, &docs.prefs, &docs.dims, &docs.defs);
    EXPECT_EQ(std::memcmp(again.Source().cid, kept.Data(), 16), 0);
}

TEST(DimSequences, CountPerUniverseAndWrap) {
    CDimSequences seq;
    EXPECT_EQ(seq.Next(7), 0);
    EXPECT_EQ(seq.Next(3), 0);
    for (int i = 2; i <= 255; ++i) (void)seq.Next(7);
    EXPECT_EQ(seq.Next(7), 255);  // the 256th packet
    EXPECT_EQ(seq.Next(7), 0);    // the 257th
    EXPECT_EQ(seq.Next(3), 1);
    EXPECT_EQ(seq.Next(32767), 0);
}

TEST_F(DimOutputTest, SecondPortGoesOutOnTheSentMessage) {
    Make({{.universe = "1"}, {.universe = "2"}});
    ASSERT_EQ(output->PortCount(), 2u);
    udp->oneAtATime = true;
    Pass();
    ASSERT_EQ(udp->sent.size(), 1u);
    EXPECT_EQ(udp->sent[0].bytes[14], 1);
    udp->Complete();
    ASSERT_EQ(udp->sent.size(), 2u);
    EXPECT_EQ(udp->sent[1].bytes[14], 2);
    udp->Complete();
    EXPECT_EQ(udp->sent.size(), 2u);
}

TEST_F(DimOutputTest, PortsAndFaultFlags) {
    // Outside the canvas: nothing written, nothing sent. A universe of 32768 or one that does not
    // read gives no port and the fault flag; two devices on one universe share a port.
    Make({{.x = 5, .y = 5, .universe = "3"},
          {.universe = "32768"},
          {.universe = "12x"},
          {.conn = 2, .universe = "9"},
          {.dxch = 7, .universe = "9"}});
    EXPECT_EQ(output->PortCount(), 2u);
    Pass();
    ASSERT_EQ(udp->sent.size(), 1u);
    EXPECT_EQ(udp->sent[0].bytes[14], 9);
    EXPECT_EQ(docs.DeviceAt(0)->GetByte(T::kDidvPortFault), 0);
    EXPECT_EQ(docs.DeviceAt(1)->GetByte(T::kDidvPortFault), 1);
    EXPECT_EQ(docs.DeviceAt(2)->GetByte(T::kDidvPortFault), 1);
    EXPECT_EQ(output->DeviceAt(3)->port, output->DeviceAt(4)->port);
    // Deleting one of the two keeps the other's slots after the next pass.
    docs.dims.RootRef().DeleteElement(nullptr, T::kDimsDevices, 3);
    EXPECT_EQ(output->DeviceCount(), 4u);
    EXPECT_EQ(output->PortCount(), 2u);
    Pass();
    ASSERT_EQ(udp->sent.size(), 2u);
    EXPECT_EQ(udp->sent[1].bytes[18], 0);         // slot 1: the deleted device's
    EXPECT_EQ(udp->sent[1].bytes[18 + 6], 0x10);  // slot 7
    // Mending the universe binds a port and clears the flag.
    docs.SetParam(1, "anuniv", "32767");
    EXPECT_EQ(docs.DeviceAt(1)->GetByte(T::kDidvPortFault), 0);
    EXPECT_EQ(output->PortCount(), 3u);
    // 'conn' outside 0..2 gives no port.
    ASSERT_TRUE(docs.DeviceRef(1).SetByte(nullptr, T::kDidvConnection, 9));
    EXPECT_EQ(output->DeviceAt(1)->port, nullptr);
    // Stop ends every port; the UDP port closes.
    UDimPrefs::SetUse(docs.Settings(), false);
    EXPECT_FALSE(output->IsStarted());
    EXPECT_EQ(output->PortCount(), 0u);
    EXPECT_FALSE(udp->IsOpen());
}

// Devices as documents, pastes and drops may hold them, through the whole output: nothing reaches
// slot 0 or past 512, nothing crashes (the suite runs under ASan and UBSan).
TEST_F(DimOutputTest, BadDevicesTable) {
    Make({{.dxch = 0, .universe = "1"},
          {.dxch = 4294967295u, .universe = "1"},
          {.dxch = 2147483648u, .universe = "1"},
          {.dxch = 512, .universe = "1"},
          {.conn = 9, .universe = "1"},
          {.universe = "-1"},
          {.universe = "99999999999999999999"},
          {.universe = ""},
          {.conn = 1, .universe = "", .serial = "../../dev/null"},
          {.def = "Strip-RGB-8", .w = 1e30f, .h = 1e30f, .rota = 1e30f, .universe = "2"},
          {.def = "no such definition", .universe = "2"},
          {.def = "Quad-RGB", .w = 0, .h = 0, .universe = "2"}});
    ASSERT_TRUE(docs.dims.RootRef().SetByte(nullptr, T::kDimsDotGap, 200));
    const float nan = std::numeric_limits<float>::quiet_NaN();
    ASSERT_TRUE(docs.DeviceRef(11).SetFloat(nullptr, T::kDidvPosX, nan));
    ASSERT_TRUE(docs.DeviceRef(10).SetFloat(nullptr, T::kDidvPosY, std::numeric_limits<float>::infinity()));
    for (uint32_t w : {0u, 1u, 3u, 40u}) {
        output->Resize(w, w == 3 ? 0 : w);
        frame.assign(size_t(output->CanvasWidth()) * output->CanvasHeight(), 0xFFFFFFFF);
        Pass();
        for (uint32_t i = 0; i < output->PortCount(); ++i) EXPECT_EQ(output->PortAt(i)->slots[0], 0) << w;
    }
    // Only the device at slot 512 of universe 1 may write there: nothing fits past it.
    const SDimPort* one = output->DeviceAt(3)->port;
    ASSERT_NE(one, nullptr);
    EXPECT_EQ(one->slots[512], 0);
    EXPECT_EQ(output->DeviceAt(4)->port, nullptr);
    EXPECT_EQ(output->DeviceAt(8)->port, nullptr);  // no USB manager: no claim
    for (uint32_t i : {5u, 6u, 7u}) EXPECT_EQ(docs.DeviceAt(i)->GetByte(T::kDidvPortFault), 1) << i;
}

}  // namespace
