// The whole LED pipeline in one process on llvmpipe: a mix engine renders a one-colour show into a
// window stand-in, its after-frame callback hands each frame to the output's capture, which draws
// the mix with DrawMixInto; the sampling pass sends ArtDmx for the layout fixture's universes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "Orbilume/CSources/DmxIn/DmxPackets.h"
#include "tests/Orbilume/CSources/Led/DimShowFixture.h"

namespace {

using namespace dimtest;

constexpr uint32_t kPixel = 0xFFFF8000u;  // the show's colour (1, 0.5, 0)

using DimPipelineGLTest = DimShowGLTest;

TEST_F(DimPipelineGLTest, TheEnginesFramesReachTheUniverses) {
    const std::string layout = FixtureLayout();
    auto port = std::make_unique<FakeUdp>(nullptr, main.Loop());
    FakeUdp* udp = port.get();
    MakeOutput(layout, nullptr);
    udp->SetUpper(output.get());
    output->SetUdpPort(std::move(port));

    // What each universe should carry: the same layout sampled over a frame of the colour.
    const Universes expected = Expected(layout, kPixel);
    ASSERT_EQ(expected.size(), 2u);
    EXPECT_EQ(expected.at(0)[0], 0xFF);
    EXPECT_EQ(expected.at(0)[1], 0x80);

    // Frames until every universe went out with the colour (the first pass only starts a read).
    Universes got;
    auto matches = [&] {
        for (const auto& [u, want] : expected) {
            auto it = got.find(u);
            if (it == got.end() || it->second.size() != want.size()) return false;
            for (size_t i = 0; i < want.size(); ++i)
                if (std::abs(int(it->second[i]) - int(want[i])) > 2) return false;
        }
        return true;
    };
    size_t seen = 0;
    const bool reached = main.RunUntil(
        [&] {
            RenderFrame();
            for (; seen < udp->sent.size(); ++seen) {
                const auto& b = udp->sent[seen].bytes;
                EXPECT_EQ(b.size(), 530u);
                EXPECT_EQ(udp->sent[seen].to.port, dmxpkt::kArtNetPort);
                if (b.size() != 530) continue;
                got[uint16_t(b[14] | b[15] << 8)] = std::vector<uint8_t>(b.begin() + 18, b.end());
            }
            return matches();
        },
        20);
    EXPECT_TRUE(reached) << udp->sent.size() << " datagrams";
}

}  // namespace
