// olad (OlaReceiver.h) as the receiver of the LED output over synthetic frames: our ArtDmx goes to
// its listed address, our E1.31 to the multicast group routed over the veth.
#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "Orbilume/CSources/DmxIn/CUvAdTable.h"
#include "Orbilume/CSources/DmxIn/CUvAdTypes.h"
#include "Orbilume/CSources/Led/CDimOutput.h"
#include "tests/Orbilume/CSources/Led/DimOutputFixture.h"
#include "tests/Orbilume/CSources/Led/OlaReceiver.h"
#include "tests/Orbilume/CSources/Net/NetTestLoop.h"
#include "tests/support/NetNamespace.h"

#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

using namespace dimtest;
using testsupport::NetNamespace;

struct DimOutputOlaTest : ::testing::Test {
    nettest::MainLoop main;
    OlaReceiver ola;
    Documents docs;
    std::unique_ptr<CDimOutput> output;
    std::vector<uint32_t> frame = std::vector<uint32_t>(32 * 32);

    void SetUp() override {
        std::string why;
        const OlaReceiver::State state = ola.Start(&why);
        if (state == OlaReceiver::kSkip) GTEST_SKIP() << why;
        ASSERT_EQ(state, OlaReceiver::kUp) << why;
        // OLA universe 1 hears Art-Net 0:0:1, universe 2 hears E1.31 universe 2.
        ASSERT_TRUE(ola.Listen(1, 0, 1));
        ASSERT_TRUE(ola.Listen(2, 0, 2));
        // Multicast leaves through the veth.
        ASSERT_TRUE(NetNamespace::Ip("route replace 224.0.0.0/4 dev " + NetNamespace::Veth()));
        for (uint32_t y = 0; y < 32; ++y)
            for (uint32_t x = 0; x < 32; ++x)
                frame[y * 32 + x] = 0xFF000000u | (x * 8) << 16 | (y * 8) << 8 | 0x40;
        // Two strips and a quad on universe 1, listed at olad's address.
        ASSERT_TRUE(docs.Read(
            DimsXml({{.def = "Strip-RGB-8", .y = -0.5f, .w = 1.5f, .h = 0.2f, .dxch = 1, .universe = "1"},
                     {.def = "Strip-RGB-8", .y = 0.5f, .w = 1.5f, .h = 0.2f, .dxch = 100, .universe = "1"},
                     {.def = "Quad-RGB", .x = 0.5f, .w = 0.5f, .h = 0.5f, .dxch = 509, .universe = "1"}},
                    0, "10.99.0.2", 10)));
        UDimPrefs::SetUse(docs.Settings(), true);
        output = std::make_unique<CDimOutput>(main.Loop(), nullptr, &docs.prefs, &docs.dims, &docs.defs);
        output->Resize(32, 32);
        main.Spin(0.05);  // the universe table follows its record
    }
    void TearDown() override { output.reset(); }

    // Sends passes until olad's universe equals the port's slots 1..512.
    bool Reaches(int olaUniverse) {
        const SDimPort* port = output->PortAt(0);
        if (!port) return false;
        auto t0 = testsupport::Clock::now();
        while (testsupport::Since(t0) < 10) {
            output->SampleFrame(frame.data(), 32, 32);
            output->SendPass();
            main.Spin(0.1);
            std::vector<int> want(port->slots + 1, port->slots + 513);
            if (ola.Values(olaUniverse) == want) return true;
        }
        return false;
    }
};

TEST_F(DimOutputOlaTest, UniversesReachOlaOverArtNetThenE131) {
    ASSERT_EQ(output->PortCount(), 1u);
    ASSERT_TRUE(Reaches(1)) << "Art-Net";
    const SDimPort* port = output->PortAt(0);
    EXPECT_NE(port->slots[1], 0);       // the first strip
    EXPECT_NE(port->slots[100], 0);     // the second
    EXPECT_EQ(port->slots[511], 0x40);  // the quad: only its first dot fits (509..511)
    EXPECT_EQ(port->slots[512], 0);
    // E1.31 after 'saco' := 1 with the listed rows removed: the group of universe 2.
    ASSERT_TRUE(docs.dims.RootRef().SetByte(nullptr, T::kDimsSacn, 1));
    CRecord* uvas = docs.dims.Root()->GetSubRecord(T::kDimsUniverses);
    CRecordRef(&uvas).DeleteElement(nullptr, CUvAdTypes::kUvasList, 0);
    main.Spin(0.05);
    ASSERT_TRUE(Reaches(2)) << "E1.31";
    // Deleting the first strip keeps the others' slots.
    docs.dims.RootRef().DeleteElement(nullptr, T::kDimsDevices, 0);
    ASSERT_TRUE(Reaches(2));
    EXPECT_EQ(output->PortAt(0)->slots[1], 0);
    EXPECT_NE(output->PortAt(0)->slots[100], 0);
}

}  // namespace
