#include <gtest/gtest.h>

#include <vector>

#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LPanePort.h"
#include "Lib3/LSources/CoreUI/LRsrcImage.h"
#include "Orbilume/CSources/SoundUI/CLevelMeter.h"
#include "Platform/Graphics/DrawContext.h"
#include "tests/Lib3/LSources/CoreUI/PaneTestSupport.h"
#include "tests/support/TestPNG.h"

namespace {

LImageH Solid(int w, int h, uint8_t r, uint8_t g, uint8_t b) {
    std::vector<uint8_t> rgba;
    for (int i = 0; i < w * h; ++i) rgba.insert(rgba.end(), {r, g, b, 255});
    std::vector<uint8_t> png = testsupport::EncodeTestPNG(w, h, rgba);
    return LImageH(new LRsrcImage(png.data(), png.size()));
}

struct LevelMeterTest : ::testing::Test {
    MessageLog log;
    FakeOwner owner{&log, {0, 0, 200, 100}};

    // Draws the pane into a fresh transparent image of the owner's size.
    plat::Ref<plat::DrawContext> Render(CLevelMeter& m) {
        plat::Ref<plat::DrawContext> native = plat::DrawContext::CreateImage(200, 100);
        LPanePort port(&m);
        LDrawContext ctx(port, native.get());
        m.Draw(ctx);
        return native;
    }
};

TEST_F(LevelMeterTest, LitExtentFromTheBottomOrTheLeftWithTheInset) {
    CLevelMeter m(&owner);
    struct Case {
        CLRect bounds;
        uint32_t inset, maximum, value;
        CLRect lit;
    } cases[] = {
        // Taller than wide: from the bottom, inset + round((60 - 1) × v / 15).
        {{0, 0, 10, 61}, 1, 15, 0, {0, 60, 10, 61}},
        {{0, 0, 10, 61}, 1, 15, 15, {0, 0, 10, 61}},
        {{0, 0, 10, 61}, 1, 15, 7, {0, 32, 10, 61}},  // 1 + round(59 × 7 / 15 = 27.5) = 29 rows
        // Wider than tall (or square): from the left.
        {{5, 5, 105, 15}, 0, 10, 3, {5, 5, 35, 15}},
        {{5, 5, 105, 15}, 2, 10, 5, {5, 5, 56, 15}},
        {{0, 0, 8, 8}, 0, 10, 10, {0, 0, 8, 8}},
        // A maximum below 1 lights the inset only.
        {{0, 0, 100, 10}, 4, 0, 0, {0, 0, 4, 10}},
    };
    for (const Case& c : cases) {
        m.SetBounds(c.bounds);
        m.SetImages(LImageH(), LImageH(), c.inset);
        m.SetMaximum(c.maximum);
        CLRect r = m.LitRect(c.value);
        EXPECT_TRUE(r == c.lit) << c.value << ": " << r.left << "," << r.top << "," << r.right << ","
                                << r.bottom;
    }
}

TEST_F(LevelMeterTest, ValueChangeRedrawsOnlyBetweenTheOldAndNewExtent) {
    CLevelMeter m(&owner);
    m.SetBounds({0, 0, 10, 61});
    m.SetImages(Solid(10, 61, 40, 40, 40), Solid(10, 61, 0, 200, 0), 1);
    m.SetMaximum(15);
    m.ChangeState(LPane::kChainShow);
    owner.invalids.clear();
    m.SetValue(7);
    ASSERT_EQ(owner.invalids.size(), 1u);
    EXPECT_TRUE(owner.invalids[0] == Rgn({0, 32, 10, 60}));
    m.SetValue(7);
    EXPECT_EQ(owner.invalids.size(), 1u);  // unchanged: nothing
    m.SetValue(100);                       // clamped to 15
    EXPECT_EQ(m.Value(), 15u);
    ASSERT_EQ(owner.invalids.size(), 2u);
    EXPECT_TRUE(owner.invalids[1] == Rgn({0, 0, 10, 32}));
    EXPECT_TRUE(owner.erases[1].IsEmpty());  // images cover the whole pane
    // Colour mode erases what goes dark.
    CLevelMeter c(&owner);
    c.SetBounds({0, 0, 100, 10});
    c.ChangeState(LPane::kChainShow);
    c.SetValue(10);
    owner.invalids.clear();
    owner.erases.clear();
    c.SetValue(4);
    ASSERT_EQ(owner.invalids.size(), 1u);
    EXPECT_TRUE(owner.invalids[0] == Rgn({40, 0, 100, 10}));
    EXPECT_TRUE(owner.erases[0] == Rgn({40, 0, 100, 10}));
}

TEST_F(LevelMeterTest, PreferredSizeIsTheOffImageOrEightSquare) {
    CLevelMeter m(&owner);
    LPanePort port(&m);
    LDrawContext measure(port);
    EXPECT_EQ(m.PreferredWidth(measure, 0), 8);
    EXPECT_EQ(m.PreferredHeight(measure, 0), 8);
    m.SetImages(Solid(12, 61, 0, 0, 0), Solid(12, 61, 0, 0, 0), 1);
    EXPECT_EQ(m.PreferredWidth(measure, 0), 12);
    EXPECT_EQ(m.PreferredHeight(measure, 0), 61);
}

// Pixel probes: silence (value 0) shows only the inset lit; full scale lights all 15 steps.
TEST_F(LevelMeterTest, ImagesShowOnOverTheLitPartAndOffOverTheRest) {
    CLevelMeter m(&owner);
    m.SetBounds({0, 0, 10, 61});
    m.SetImages(Solid(10, 61, 40, 40, 40), Solid(10, 61, 0, 200, 0), 1);
    m.SetMaximum(15);
    struct Case {
        uint32_t value;
        int firstLitRow;
    } cases[] = {{0, 60}, {7, 32}, {15, 0}};
    for (const Case& c : cases) {
        m.SetValue(c.value);
        plat::Ref<plat::DrawContext> px = Render(m);
        for (int y = 0; y < 61; ++y) {
            const uint32_t want = y >= c.firstLitRow ? 0xFF00C800u : 0xFF282828u;
            ASSERT_EQ(px->PixelAt(5, y), want) << "value " << c.value << " row " << y;
        }
    }
    // Colour mode: green over the lit part, nothing elsewhere.
    CLevelMeter g(&owner);
    g.SetBounds({0, 0, 100, 10});
    g.SetValue(5);
    plat::Ref<plat::DrawContext> px = Render(g);
    EXPECT_EQ(px->PixelAt(10, 5), 0xFF00FF00u);
    EXPECT_EQ(px->PixelAt(49, 5), 0xFF00FF00u);
    EXPECT_EQ(px->PixelAt(50, 5), 0u);
}

}  // namespace
