// The engine-fed LED pipeline with olad (OlaReceiver.h) as the receiver: a mix engine renders the
// one-colour show, the output captures and samples it for the layout fixture and sends ArtDmx to
// olad's listed address, then E1.31 to the multicast groups routed over the veth.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Orbilume/CSources/DmxIn/CUvAdTypes.h"
#include "tests/Orbilume/CSources/Led/DimShowFixture.h"
#include "tests/Orbilume/CSources/Led/OlaReceiver.h"
#include "tests/support/NetNamespace.h"

namespace {

using namespace dimtest;
using testsupport::NetNamespace;

// OLA universes: Art-Net port addresses 0 and 1 arrive on 16 and 17 (OLA keeps the low four bits),
// E1.31 universes 1 and 2 (our universes 0 and 1) on 1 and 2.
constexpr int kArtNetOla = 16;

class DimOlaPipelineGLTest : public DimShowGLTest {
protected:
    void SetUp() override {
        DimShowGLTest::SetUp();
        if (HasFatalFailure() || IsSkipped()) return;
        std::string why;
        const OlaReceiver::State state = ola.Start(&why);
        if (state == OlaReceiver::kSkip) GTEST_SKIP() << why;
        ASSERT_EQ(state, OlaReceiver::kUp) << why;
        for (int port = 0; port < 2; ++port) {
            ASSERT_TRUE(ola.Listen(1, port, kArtNetOla + port));
            ASSERT_TRUE(ola.Listen(2, port, 1 + port));
        }
        ASSERT_TRUE(NetNamespace::Ip("route replace 224.0.0.0/4 dev " + NetNamespace::Veth()));
        layout = FixtureLayout();
        const size_t listed = layout.find("ipad=\"127.0.0.1\"");
        ASSERT_NE(listed, std::string::npos);
        layout.replace(listed, 16, "ipad=\"10.99.0.2\"");
        MakeOutput(layout, nullptr);
        main.Spin(0.05);  // the universe table follows its record
    }

    // Renders frames until each of our universes, read from olad's universe base + u, holds the
    // expected values; what differed last goes to *diff.
    bool Reaches(const Universes& expected, int base, std::string* diff) {
        const auto t0 = testsupport::Clock::now();
        while (testsupport::Since(t0) < 20) {
            for (int i = 0; i < 8; ++i) {
                RenderFrame();
                main.Spin(0.03);
            }
            bool all = true;
            for (const auto& [u, want] : expected) {
                const std::vector<int> got = ola.Values(base + u);
                if (got == std::vector<int>(want.begin(), want.end())) continue;
                all = false;
                std::ostringstream text;
                text << "universe " << u << ": " << got.size() << " values";
                for (size_t i = 0; i < got.size() && i < want.size(); ++i)
                    if (got[i] != want[i]) {
                        text << ", slot " << i + 1 << " is " << got[i] << " not " << int(want[i]);
                        break;
                    }
                *diff = text.str();
                break;
            }
            if (all) return true;
        }
        return false;
    }

    OlaReceiver ola;
    std::string layout;
};

TEST_F(DimOlaPipelineGLTest, TheEnginesFramesReachOlaOverArtNetThenE131) {
    const uint32_t pixel = ShowPixel();
    ASSERT_TRUE(qctest::PixelNear(pixel, 0xFFFF8000u, 2));  // the show's colour (1, 0.5, 0)
    const Universes expected = Expected(layout, pixel);
    ASSERT_EQ(expected.size(), 2u);
    ASSERT_EQ(expected.at(0)[0], uint8_t(pixel >> 16));  // the pixel's red in slot 1
    std::string diff;
    EXPECT_TRUE(Reaches(expected, kArtNetOla, &diff)) << "Art-Net: " << diff;

    // E1.31 after 'saco' := 1 with the listed rows removed: the multicast group of each universe.
    ASSERT_TRUE(docs.dims.RootRef().SetByte(nullptr, T::kDimsSacn, 1));
    CRecord* uvas = docs.dims.Root()->GetSubRecord(T::kDimsUniverses);
    CRecordRef(&uvas).DeleteElement(nullptr, CUvAdTypes::kUvasList, 0);
    main.Spin(0.05);
    EXPECT_TRUE(Reaches(expected, 1, &diff)) << "E1.31: " << diff;

    // The first device shares universe 0 with three others: deleting it clears its slots only.
    docs.dims.RootRef().DeleteElement(nullptr, T::kDimsDevices, 0);
    const Universes without = Expected(layout, pixel, 0);
    ASSERT_EQ(without.size(), 2u);
    // Only the first device's slots (1..3) change; the strip's (from slot 7 on) and the rest stay.
    EXPECT_EQ(std::vector<uint8_t>(without.at(0).begin(), without.at(0).begin() + 3),
              std::vector<uint8_t>(3, 0));
    EXPECT_NE(without.at(0)[6], 0);
    EXPECT_TRUE(std::equal(without.at(0).begin() + 3, without.at(0).end(), expected.at(0).begin() + 3));
    EXPECT_EQ(without.at(1), expected.at(1));
    EXPECT_TRUE(Reaches(without, 1, &diff)) << "E1.31 without the first device: " << diff;
}

}  // namespace
