#include <gtest/gtest.h>

#include <climits>

#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/UDropHighlight.h"
#include "tests/Lib3/LSources/CoreUI/TestSurface.h"

namespace {

CRgn Minus(const CLRect& outer, const CLRect& inner) {
    CRgn r(outer);
    r -= CRgn(inner);
    return r;
}

TEST(UDropHighlightTest, RingIsInsideThePane) {
    const CLRect pane{10, 10, 50, 40};
    EXPECT_TRUE(UDropHighlight::Ring(pane, 1) == Minus(pane, {12, 12, 48, 38}));
    EXPECT_TRUE(UDropHighlight::Ring(pane, 2) == Minus(pane, {16, 16, 44, 34}));
    // Thicker than half the pane: the whole pane.
    EXPECT_TRUE(UDropHighlight::Ring(pane, 5) == CRgn(pane));
    // Extreme values neither wrap nor overflow.
    EXPECT_TRUE(UDropHighlight::Ring(pane, INT32_MAX) == CRgn(pane));
    const CLRect huge{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
    EXPECT_TRUE(UDropHighlight::Ring(huge, 1) ==
                Minus(huge, {INT32_MIN + 2, INT32_MIN + 2, INT32_MAX - 2, INT32_MAX - 2}));
}

TEST(UDropHighlightTest, DrawFillsTheRing) {
    TestSurface s(60, 50);
    LDrawContext ctx(s.port, s.native.get());
    UDropHighlight::Draw(ctx, {10, 10, 50, 40}, 1, LColor(LRGB(0, 0, 255), 0));
    EXPECT_EQ(s.At(10, 10), 0x0000FFu);
    EXPECT_EQ(s.At(11, 25), 0x0000FFu);
    EXPECT_EQ(s.At(12, 25), 0xFFFFFFu);
    EXPECT_EQ(s.At(49, 39), 0x0000FFu);
    EXPECT_EQ(s.At(9, 25), 0xFFFFFFu);
    EXPECT_EQ(s.At(30, 25), 0xFFFFFFu);
}

}  // namespace
