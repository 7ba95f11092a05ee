#include <gtest/gtest.h>

#include "Lib3/LSources/CoreUI/LColor.h"

namespace {

TEST(LColorTest, RGBClampsComponents) {
    const LRGB c(300, 20, 256);
    EXPECT_EQ(c, LRGB(255, 20, 255));
}

TEST(LColorTest, InterningSharesEqualColours) {
    const LColor a = LColor::Grey(2), b = LColor::Grey(2);
    EXPECT_TRUE(a.IsSame(b));
    EXPECT_EQ(a.ForDrawing(), (LRGBA{128 / 255.0f, 128 / 255.0f, 128 / 255.0f, 1}));
    const LColor g0 = LColor::Grey(0), g9 = LColor::Grey(9);
    EXPECT_FALSE(g0.IsSame(g9));
    EXPECT_EQ(g0.ForDrawing(), g9.ForDrawing());  // both black

    const LColor m1(LRGB(1, 2, 3), 1), m2(LRGB(1, 2, 3), 2), m1again(LRGB(1, 2, 3), 1);
    EXPECT_FALSE(m1.IsSame(m2));
    EXPECT_TRUE(m1.IsSame(m1again));
    EXPECT_FALSE(LColor(LRGB(1, 2, 3), 1, 0.5f).IsSame(m1));
    EXPECT_TRUE(LColor::System(4).IsSame(LColor::System(4)));
}

TEST(LColorTest, RGBBlocksGoWithTheirLastHandle) {
    const uint32_t before = LColorData::CacheCount();
    {
        const LColor c(LRGB(9, 8, 7), 0, 0.25f);
        EXPECT_EQ(LColorData::CacheCount(), before + 1);
        EXPECT_EQ(c.ForDrawing(), (LRGBA{9 / 255.0f, 8 / 255.0f, 7 / 255.0f, 0.25f}));
    }
    EXPECT_EQ(LColorData::CacheCount(), before);
    const LColor again(LRGB(9, 8, 7), 0, 0.25f);
    EXPECT_EQ(LColorData::CacheCount(), before + 1);

    // Greys stay once made.
    { const LColor grey = LColor::Grey(3); }
    const uint32_t withGrey = LColorData::CacheCount();
    { const LColor grey = LColor::Grey(3); }
    EXPECT_EQ(LColorData::CacheCount(), withGrey);
}

TEST(LColorTest, EmptyAndSystemColoursResolve) {
    const LColor none;
    EXPECT_EQ(none.ForDrawing(), (LRGBA{0, 0, 0, 1}));
    EXPECT_EQ(none.ForControls(), (LRGBA{1, 1, 1, 1}));

    const LColorTheme saved = LColorTheme::Current();
    LColorTheme dark = saved;
    dark.colour[7] = {1, 1, 1, 1};
    const LColor text = LColor::System(7);
    EXPECT_EQ(text.ForDrawing(), saved.colour[7]);
    LColorTheme::SetCurrent(dark);
    EXPECT_EQ(text.ForDrawing(), (LRGBA{1, 1, 1, 1}));  // follows the theme
    LColorTheme::SetCurrent(saved);
    EXPECT_EQ(LColor::System(0).ForDrawing(), LColor::System(2).ForDrawing());
}

}  // namespace
