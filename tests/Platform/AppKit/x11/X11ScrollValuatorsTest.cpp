#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "Platform/AppKit/x11/X11ScrollValuators.h"

namespace {

using plat::x11::X11ScrollValuators;

constexpr int kMouse = 2;
constexpr int kVertical = 3, kHorizontal = 2;

X11ScrollValuators Wheel(double increment = 120) {
    X11ScrollValuators v;
    v.SetAxes(kMouse, {{kVertical, false, increment}, {kHorizontal, true, increment}});
    return v;
}

TEST(X11ScrollValuatorsTest, NotchesFromChangesOfTheAbsoluteValue) {
    struct Case {
        const char* name;
        int axis;
        double from, to;
        double x, y;
    } cases[] = {
        {"one notch down", kVertical, 0, 120, 0, -1},
        {"one notch up", kVertical, 120, 0, 0, 1},
        {"a quarter notch (touchpad)", kVertical, 1000, 1030, 0, -0.25},
        {"right", kHorizontal, 0, 240, -2, 0},
        {"left", kHorizontal, 240, 0, 2, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        X11ScrollValuators v = Wheel();
        double x = 0, y = 0;
        // The first value only records where the axis stands.
        EXPECT_FALSE(v.Scroll(kMouse, {{c.axis, c.from}}, &x, &y));
        ASSERT_TRUE(v.Scroll(kMouse, {{c.axis, c.to}}, &x, &y));
        EXPECT_DOUBLE_EQ(x, c.x);
        EXPECT_DOUBLE_EQ(y, c.y);
    }
}

TEST(X11ScrollValuatorsTest, AResetMakesTheNextValueARecordNotAJump) {
    X11ScrollValuators v = Wheel();
    double x = 0, y = 0;
    EXPECT_FALSE(v.Scroll(kMouse, {{kVertical, 0}}, &x, &y));
    EXPECT_TRUE(v.Scroll(kMouse, {{kVertical, 120}}, &x, &y));
    // The pointer left, scrolled another window by 50 notches, and came back.
    v.Reset(kMouse);
    EXPECT_FALSE(v.Scroll(kMouse, {{kVertical, 6120}}, &x, &y));
    EXPECT_EQ(y, 0);
    EXPECT_TRUE(v.Scroll(kMouse, {{kVertical, 6240}}, &x, &y));
    EXPECT_DOUBLE_EQ(y, -1);
    // A device change sets the axes anew: the same.
    v.SetAxes(kMouse, {{kVertical, false, 60}});
    EXPECT_FALSE(v.Scroll(kMouse, {{kVertical, 0}}, &x, &y));
    EXPECT_TRUE(v.Scroll(kMouse, {{kVertical, 60}}, &x, &y));
    EXPECT_DOUBLE_EQ(y, -1);
}

TEST(X11ScrollValuatorsTest, PointerAxesAndUnknownDevicesAreNoScroll) {
    X11ScrollValuators v = Wheel();
    double x = 0, y = 0;
    EXPECT_FALSE(v.Scroll(kMouse, {{0, 10}, {1, 20}}, &x, &y));
    EXPECT_FALSE(v.Scroll(kMouse, {{0, 30}, {1, 40}}, &x, &y));
    EXPECT_FALSE(v.Scroll(7, {{kVertical, 0}}, &x, &y));
    EXPECT_FALSE(v.Scroll(7, {{kVertical, 120}}, &x, &y));
    EXPECT_TRUE(v.IsAxis(kMouse, kVertical));
    EXPECT_FALSE(v.IsAxis(kMouse, 0));
}

TEST(X11ScrollValuatorsTest, AbsurdAxesAndValuesAreIgnored) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    X11ScrollValuators v;
    v.SetAxes(kMouse,
              {{kVertical, false, 0}, {4, false, nan}, {5, true, inf}, {-1, false, 120}, {9999, false, 120}});
    EXPECT_FALSE(v.HasAxes(kMouse));
    v = Wheel();
    double x = 0, y = 0;
    EXPECT_FALSE(v.Scroll(kMouse, {{kVertical, 0}}, &x, &y));
    EXPECT_FALSE(v.Scroll(kMouse, {{kVertical, nan}}, &x, &y));
    EXPECT_FALSE(v.Scroll(kMouse, {{kVertical, inf}}, &x, &y));
    EXPECT_TRUE(v.Scroll(kMouse, {{kVertical, 120}}, &x, &y));
    EXPECT_DOUBLE_EQ(y, -1);
    // A flood of devices keeps a bounded list.
    for (int d = 0; d < 1000; ++d) v.SetAxes(100 + d, {{kVertical, false, 120}});
    EXPECT_TRUE(v.HasAxes(1099));
    EXPECT_FALSE(v.HasAxes(100));
}

}  // namespace
