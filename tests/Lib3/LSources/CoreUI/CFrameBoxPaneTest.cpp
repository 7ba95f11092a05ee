#include <gtest/gtest.h>

#include "Lib3/LSources/CoreUI/CFrameBoxPane.h"
#include "PaneTestSupport.h"

namespace {

TEST(CFrameBoxPaneTest, TheRingIsOnePixelInsideTheBoundsAndThePaneIsLocked) {
    MessageLog log;
    FakeOwner owner(&log);
    CFrameBoxPane box(&owner);
    box.SetBounds({10, 10, 20, 15});
    EXPECT_TRUE(box.State() & LPane::kLocked);
    CRgn want(CLRect{10, 10, 20, 15});
    want -= CRgn(CLRect{11, 11, 19, 14});
    EXPECT_TRUE(box.Ring() == want);
    CFrameBoxPane thin(&owner);
    thin.SetBounds({0, 0, 2, 2});
    EXPECT_TRUE(thin.Ring() == CRgn(CLRect{0, 0, 2, 2}));
}

}  // namespace
