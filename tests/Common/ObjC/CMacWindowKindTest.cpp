#include <gtest/gtest.h>

#include "Common/ObjC/CMacWindowKind.h"
#include "Platform/AppKit/Window.h"
#include "tests/support/HeadlessScreens.h"

namespace {

TEST(CMacWindowKindTest, KindsGiveTheirStyleAndLevel) {
    testsupport::HeadlessScreens screens;
    struct Case {
        int32_t kind;
        uint32_t style;
        int32_t level;
    } cases[] = {{0, 1, 8},  {1, 9, 8},  {2, 1, 8},  {3, 7, 0},  {4, 5, 0},  {5, 0, 0},
                 {6, 15, 0}, {7, 13, 0}, {8, 3, 0},  {9, 15, 0}, {10, 0, 0}, {11, 1, 8},
                 {12, 0, 0}, {13, 3, 0}, {-1, 3, 0}, {99, 3, 0}};
    for (const Case& c : cases) {
        CMacWinKind kind(c.kind);
        plat::Ref<plat::Window> w = kind.CreateNativeWindow();
        ASSERT_TRUE(w);
        EXPECT_FALSE(w->IsPanel());
        EXPECT_EQ(w->StyleMask(), c.style) << c.kind;
        EXPECT_EQ(w->Level(), c.level) << c.kind;
        EXPECT_EQ(w->ContentRect(), (plat::Rect{40, 40, 120, 80})) << c.kind;
        EXPECT_FALSE(w->IsVisible());
        w = nullptr;
    }
}

TEST(CMacWindowKindTest, PanelKindsAndOptions) {
    testsupport::HeadlessScreens screens;
    struct Case {
        int32_t kind;
        uint32_t options;
        uint32_t style;
        int32_t level;
        bool keyOnlyIfNeeded;
        bool hidesOnDeactivate;
        bool ignoresMouse;
    } cases[] = {
        {1, 0, 19, 3, true, false, false},  {2, 0, 29, 3, true, false, false},
        {3, 0, 31, 3, true, false, false},  {4, 2, 31, 4, true, false, false},
        {5, 1, 17, 3, false, false, false}, {6, 3, 0, 4, false, false, true},
        {0, 0, 17, 3, true, false, false},  {7, 0, 17, 3, true, false, false},
    };
    for (const Case& c : cases) {
        CMacPanelKind kind(c.kind, c.options);
        plat::Ref<plat::Window> w = kind.CreateNativeWindow();
        ASSERT_TRUE(w);
        EXPECT_TRUE(w->IsPanel());
        EXPECT_TRUE(w->IsFloatingPanel());
        EXPECT_EQ(w->StyleMask(), c.style) << c.kind;
        EXPECT_EQ(w->Level(), c.level) << c.kind;
        EXPECT_EQ(w->BecomesKeyOnlyIfNeeded(), c.keyOnlyIfNeeded) << c.kind;
        EXPECT_EQ(w->HidesOnDeactivate(), c.hidesOnDeactivate) << c.kind;
        EXPECT_EQ(w->IgnoresMouseEvents(), c.ignoresMouse) << c.kind;
        w = nullptr;
    }
}

}  // namespace
