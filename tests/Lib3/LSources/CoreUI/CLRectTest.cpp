#include <gtest/gtest.h>

#include <climits>

#include "Lib3/LSources/CoreUI/CLRect.h"

namespace {

TEST(CLRect, ContainIsHalfOpen) {
    CLRect r{0, 0, 10, 10};
    EXPECT_TRUE(r.Contain({9, 9}));
    EXPECT_TRUE(r.Contain({0, 0}));
    EXPECT_FALSE(r.Contain({10, 5}));
    EXPECT_FALSE(r.Contain({5, 10}));
    EXPECT_FALSE(r.Contain({-1, 5}));
}

TEST(CLRect, OverlapNeedsASharedPoint) {
    struct Case {
        CLRect a, b;
        bool overlap;
    } cases[] = {
        {{0, 0, 10, 10}, {10, 0, 20, 10}, false},                                         // touching edges
        {{0, 0, 10, 10}, {9, 9, 20, 20}, true},   {{0, 0, 10, 10}, {2, 2, 2, 8}, false},  // empty inside
        {{0, 0, 10, 10}, {-5, -5, 0, 20}, false}, {{0, 0, 10, 10}, {-5, -5, 1, 1}, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.a.overlap(c.b), c.overlap);
        EXPECT_EQ(c.b.overlap(c.a), c.overlap);
    }
}

TEST(CLRect, UnionAndIntersection) {
    CLRect a{0, 0, 10, 10};
    a.Union({10, 0, 20, 10});
    EXPECT_EQ(a, (CLRect{0, 0, 20, 10}));

    CLRect e{5, 5, 5, 9};  // empty: takes the other as it is
    e.Union({1, 2, 3, 4});
    EXPECT_EQ(e, (CLRect{1, 2, 3, 4}));
    e.Union({100, 100, 100, 200});  // empty other: no change
    EXPECT_EQ(e, (CLRect{1, 2, 3, 4}));

    CLRect d{0, 0, 10, 10};
    d &= CLRect{20, 20, 30, 30};
    EXPECT_EQ(d, CLRect{});
    CLRect i{0, 0, 10, 10};
    i &= CLRect{5, -5, 15, 5};
    EXPECT_EQ(i, (CLRect{5, 0, 10, 5}));
}

TEST(CLRect, ShiftInsetCongruent) {
    CLRect r{0, 0, 10, 10};
    r.Inset(-2, -3);
    EXPECT_EQ(r, (CLRect{-2, -3, 12, 13}));
    r.Shift(2, 3);
    EXPECT_EQ(r, (CLRect{0, 0, 14, 16}));
    EXPECT_TRUE(r.congruent({100, 100, 114, 116}));
    EXPECT_FALSE(r.congruent({0, 0, 14, 15}));
}

TEST(CLRect, CenterOfTruncatesTowardsZero) {
    CLRect r{0, 0, 3, 3};
    r.CenterOf({0, 0, 10, 10});  // (10 - 3) / 2 = 3
    EXPECT_EQ(r, (CLRect{3, 3, 6, 6}));
    CLRect n{0, 0, 4, 4};
    n.CenterOf({-7, -7, 0, 0});  // (-7 - 4) / 2 = -5
    EXPECT_EQ(n, (CLRect{-5, -5, -1, -1}));
}

TEST(CLRect, MaxFitKeepsAspectAndCentres) {
    struct Case {
        CLRect r, into, want;
    } cases[] = {
        {{0, 0, 4, 3}, {0, 0, 100, 100}, {0, 12, 100, 87}},
        {{0, 0, 3, 4}, {0, 0, 100, 100}, {12, 0, 87, 100}},
        {{0, 0, 1, 1}, {10, 20, 30, 60}, {10, 30, 30, 50}},
        {{0, 0, 0, 0}, {0, 0, 50, 40}, {0, 20, 50, 20}},  // no size: full width, no height
    };
    for (const Case& c : cases) {
        CLRect r = c.r;
        r.MaxFit(c.into);
        EXPECT_EQ(r, c.want);
    }
}

TEST(CLRect, MapRoundsAndHandlesZeroFrames) {
    CLRect r{5, 5, 10, 10};
    r.Map({0, 0, 10, 10}, {0, 0, 20, 40});
    EXPECT_EQ(r, (CLRect{10, 20, 20, 40}));

    CLRect z{3, 4, 7, 8};
    z.Map({2, 0, 2, 10}, {50, 0, 60, 10});
    EXPECT_EQ(z.left, 50);
    EXPECT_EQ(z.right, 50);
    EXPECT_EQ(z.top, 4);

    CLRect h{1, 0, 2, 1};  // 1 * 10 / 3 = 3.33 -> 3, 2 * 10 / 3 = 6.67 -> 7
    h.Map({0, 0, 3, 1}, {0, 0, 10, 1});
    EXPECT_EQ(h.left, 3);
    EXPECT_EQ(h.right, 7);
}

TEST(CLRect, ExtremeCoordinatesDoNotOverflow) {
    CLRect r{INT_MIN, INT_MIN, INT_MAX, INT_MAX};
    r.Map(r, {0, 0, 100, 100});
    EXPECT_EQ(r, (CLRect{0, 0, 100, 100}));
    CLRect big{INT_MIN, 0, INT_MAX, 1};
    big.MaxFit({0, 0, 1000, 1000});
    EXPECT_FALSE(big.IsEmpty());
}

}  // namespace
