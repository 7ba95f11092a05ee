#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "Common/ObjC/MCocoaU.h"
#include "Lib3/LSources/CoreUI/CLRect.h"
#include "tests/support/HeadlessScreens.h"

namespace {

TEST(MCocoaUTest, RoundsHalvesAwayFromZero) {
    struct Case {
        double in;
        int32_t out;
    } cases[] = {
        {10.5, 11},
        {-10.5, -11},
        {10.49, 10},
        {-10.49, -10},
        {0.5, 1},
        {2.5, 3},
        {-0.4, 0},
        {1e12, 2147483647},
        {-1e12, -2147483647 - 1},
        {std::numeric_limits<double>::quiet_NaN(), 0},
        {std::numeric_limits<double>::infinity(), 2147483647},
    };
    for (const Case& c : cases) EXPECT_EQ(MCocoaU::Round(c.in), c.out) << c.in;
}

TEST(MCocoaUTest, FlipsAgainstAHeightAndBack) {
    const CLRect rects[] = {{0, 0, 10, 10}, {-20, 5, 300, 899}, {100, 200, 101, 201}};
    for (const CLRect& r : rects) {
        plat::Rect flipped = MCocoaU::Flip(r, 900);
        EXPECT_EQ(flipped.y, 900 - r.bottom);
        EXPECT_EQ(MCocoaU::FlipToCLRect(flipped, 900), r);
    }
    EXPECT_EQ(MCocoaU::Flip(CLPoint{3, 0}, 900), (plat::Point{3, 900}));
    EXPECT_EQ(MCocoaU::FlipToCLPoint({10.5, 889.5}, 900), (CLPoint{11, 11}));
    EXPECT_EQ(MCocoaU::ToCLRect({-10.5, 0.5, 21, 1}), (CLRect{-11, 1, 11, 2}));
}

TEST(MCocoaUTest, ScreenHeightAndScrollerMetrics) {
    EXPECT_EQ(MCocoaU::ScrollerWidth(nullptr), 16);
    EXPECT_EQ(MCocoaU::GrowBoxInset(nullptr), 0);
    testsupport::HeadlessScreens screens;
    EXPECT_EQ(MCocoaU::MainScreenHeight(), 900);
    screens.Backend().SetScreens({});
    EXPECT_EQ(MCocoaU::MainScreenHeight(), 0);
}

}  // namespace
