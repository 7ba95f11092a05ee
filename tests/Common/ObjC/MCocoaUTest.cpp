#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "Common/ObjC/MCocoaU.h"
#include "Lib3/LSources/CoreUI/CLRect.h"
#include "Lib3/LSources/Mac/SystemInfo.h"
#include "Platform/AppKit/Window.h"
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

    struct Case {
        uint32_t style;
        int32_t level;
        uint32_t version;
        int32_t scroller, inset;
    } cases[] = {{plat::kResizableWindowMask, 0, 4207, 16, 16},
                 {plat::kResizableWindowMask, 3, 4200, 11, 11},
                 {plat::kResizableWindowMask, 0, 4208, 16, 0},
                 {plat::kTitledWindowMask, 0, 4100, 16, 0}};
    uint32_t saved = gSystemInfo.version;
    for (const Case& c : cases) {
        plat::Ref<plat::Window> w = plat::Window::Create({0, 0, 10, 10}, c.style);
        w->SetLevel(c.level);
        gSystemInfo.version = c.version;
        EXPECT_EQ(MCocoaU::ScrollerWidth(w.get()), c.scroller);
        EXPECT_EQ(MCocoaU::GrowBoxInset(w.get()), c.inset);
        w = nullptr;
    }
    gSystemInfo.version = saved;
}

}  // namespace

TEST(MCocoaUTest, ConvertToCLRectClampsBothSides) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        plat::Rect in;
        CLRect out;
    } cases[] = {
        {{1.5, 2.25, 3, 4}, {1, 2, 5, 7}},
        {{-1e12, -1e12, 3e12, 3e12}, {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}},
        {{1e12, 1e12, 10, 10}, {}},  // far away: both sides clamp to the same edge, empty
        {{-1e12, 0, 10, 10}, {}},
        {{0, 0, inf, 5}, {0, 0, INT32_MAX, 5}},
        {{inf, inf, 0, 0}, {}},  // the null rectangle
        {{nan, 0, 10, 10}, {}},
        {{0, 0, nan, 10}, {}},
        {{0, 0, -4, 10}, {}},
    };
    for (const Case& c : cases) {
        CLRect r = MCocoaU::ConvertToCLRect(c.in);
        EXPECT_TRUE(r == c.out) << c.in.x << " " << c.in.width << " -> " << r.left << "," << r.top << ","
                                << r.right << "," << r.bottom;
    }
    plat::Rect g = MCocoaU::Convert(CLRect{INT32_MIN, 0, INT32_MAX, 1});
    EXPECT_EQ(g.width, 4294967295.0);
}
