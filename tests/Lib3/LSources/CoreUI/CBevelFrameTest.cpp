#include "Lib3/LSources/CoreUI/CBevelFrame.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Fill {
    CLRect rect;
    bool first;
};

TEST(CBevelFrameTest, EdgesAndColours) {
    const LColor light = LColor::Grey(4), dark = LColor::Grey(1);
    CBevelFrame frame(CLRect{10, 20, 50, 40}, light, dark);
    std::vector<Fill> fills;
    frame.Draw(
        [](void* ctx, const CLRect& r, const LColor& c) {
            static_cast<std::vector<Fill>*>(ctx)->push_back({r, c.IsSame(LColor::Grey(4))});
        },
        &fills);
    ASSERT_EQ(fills.size(), 4u);
    EXPECT_EQ(fills[0].rect, (CLRect{10, 20, 50, 21}));
    EXPECT_EQ(fills[1].rect, (CLRect{10, 21, 11, 39}));
    EXPECT_EQ(fills[2].rect, (CLRect{10, 39, 50, 40}));
    EXPECT_EQ(fills[3].rect, (CLRect{49, 21, 50, 39}));
    EXPECT_TRUE(fills[0].first && fills[1].first);
    EXPECT_FALSE(fills[2].first || fills[3].first);
}

}  // namespace
