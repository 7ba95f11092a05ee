#include <gtest/gtest.h>

#include "Lib3/LSources/CoreUI/CBevelFrame.h"
#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "tests/Lib3/LSources/CoreUI/TestSurface.h"

namespace {

TEST(CBevelFrameTest, EdgesAndColours) {
    TestSurface s(60, 50);
    LDrawContext ctx(s.port, s.native.get());
    CBevelFrame(CLRect{10, 20, 50, 40}, LColor(LRGB(255, 0, 0), 0), LColor(LRGB(0, 0, 255), 0)).Draw(ctx);
    struct Case {
        int x, y;
        uint32_t rgb;
    } cases[] = {
        {10, 20, 0xFF0000}, {49, 20, 0xFF0000}, {10, 38, 0xFF0000},  // top edge, left edge
        {10, 39, 0x0000FF}, {49, 39, 0x0000FF}, {49, 21, 0x0000FF},  // bottom edge, right edge
        {11, 21, 0xFFFFFF}, {48, 38, 0xFFFFFF}, {30, 30, 0xFFFFFF},  // inside
        {9, 20, 0xFFFFFF},  {50, 39, 0xFFFFFF}, {10, 40, 0xFFFFFF},  // outside
    };
    for (const Case& c : cases) EXPECT_EQ(s.At(c.x, c.y), c.rgb) << c.x << "," << c.y;
}

}  // namespace
