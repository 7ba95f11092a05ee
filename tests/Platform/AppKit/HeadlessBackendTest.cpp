#include <gtest/gtest.h>

#include "Platform/AppKit/headless/HeadlessBackend.h"

namespace {

using plat::Rect;
using plat::headless::HeadlessBackend;

TEST(HeadlessBackendTest, ScreenListsParseOrLeaveTheConfigurationAlone) {
    struct Case {
        const char* text;
        bool ok;
        size_t count;
        Rect secondVisible;
    } cases[] = {
        {"1440x900+0+0/25;1280x1024+1440+0", true, 2, {1440, 0, 1280, 1024}},
        {"800x600+0+0", true, 1, {}},
        {"800x600-800+0/10;640x480+0+0/0", true, 2, {0, 0, 640, 480}},
        {"", false, 1, {}},
        {"0x600+0+0", false, 1, {}},
        {"800x600+0+0/600", false, 1, {}},
        {"800x600", false, 1, {}},
        {"800x600+0+0/x", false, 1, {}},
        {"800x600+0+0;;", true, 1, {}},
        {"99999999999999999999x600+0+0", false, 1, {}},
        {"800x600+0+0 ", false, 1, {}},
        {"800x600+-5+0", false, 1, {}},
    };
    for (const Case& c : cases) {
        HeadlessBackend b;
        b.SetScreens({HeadlessBackend::MakeScreen(1, {0, 0, 100, 100}, 0)});
        EXPECT_EQ(b.ConfigureScreens(c.text), c.ok) << c.text;
        ASSERT_EQ(b.Screens().size(), c.count) << c.text;
        if (c.count == 2) {
            EXPECT_EQ(b.Screens()[1].visibleFrame, c.secondVisible) << c.text;
        }
        if (c.ok) {
            EXPECT_EQ(b.Screens()[0].displayId, 1u);
        }
    }
    HeadlessBackend b;
    EXPECT_TRUE(b.ConfigureScreens("1440x900+0+0/25"));
    EXPECT_EQ(b.Screens()[0].visibleFrame, (Rect{0, 25, 1440, 875}));
}

}  // namespace
