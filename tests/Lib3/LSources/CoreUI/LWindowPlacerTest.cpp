#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "Common/ObjC/CMacWindowKind.h"
#include "Common/ObjC/CMacWindowMgr.h"
#include "Lib3/LSources/CoreUI/CLRect.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Lib3/LSources/CoreUI/LWindowPlacer.h"
#include "tests/support/HeadlessScreens.h"

namespace {

// How the frame answers the placer: no limits, a fixed size (no layout), or a minimum; optionally a
// size forced while sizing.
struct PlacedFrame : LHandler {
    enum Mode { kFree, kFixed, kMinimum } mode = kFree;
    int32_t minW = 0, minH = 0;
    int32_t forceW = 0, forceH = 0;
    LWindow* window = nullptr;

    LMessage Handle(const LMessage& msg) override {
        auto* placer = static_cast<LWindowPlacer*>(msg.sender);
        if (msg.Is(LWindowPlacer_Grow)) {
            if (mode == kFixed) {
                CLRect c = CMacWindowMgr::Get()->ContentRect(window);
                placer->SetSizeLimits(c.Width(), c.Height(), c.Width(), c.Height());
            } else if (mode == kMinimum) {
                placer->SetMinSize(minW, minH);
            }
            return LMessage();
        }
        if (msg.Is(LWindowPlacer_Sizing)) {
            if (forceW) placer->SetSize(forceW, forceH);
            return LMessage();
        }
        return LHandler::Handle(msg);
    }
};

// Main screen 1440×900 under a 25-pixel bar, a 1280×1024 screen to its right; windows of kind 6
// (22-pixel title bar).
class PlacementTest : public ::testing::Test {
protected:
    LWindow* Make() {
        windows.push_back(std::make_unique<LWindow>(&defaultFrame, LWindow::kDocument,
                                                    CMacWindowKindH(new CMacWinKind(6))));
        defaultFrame.window = windows.back().get();
        return windows.back().get();
    }
    LWindow* Shown(CLPoint topLeft) {
        LWindow* w = Make();
        mgr.SetContentRect(w, {topLeft.x, topLeft.y, topLeft.x + 300, topLeft.y + 200});
        mgr.Show(w);
        return w;
    }

    testsupport::HeadlessScreens screens;
    CMacWindowMgr mgr;
    PlacedFrame defaultFrame;
    std::vector<std::unique_ptr<LWindow>> windows;
};

TEST_F(PlacementTest, ScreensByOverlap) {
    EXPECT_EQ(BestScreen({1400, 0, 1500, 100}), 2u);
    EXPECT_EQ(BestScreen({1300, 0, 1500, 100}), 1u);
    EXPECT_EQ(BestScreen({5000, 0, 5100, 100}), 0u);
    EXPECT_EQ(ScreensUnion(false), (CLRect{0, 0, 2720, 1024}));
    EXPECT_EQ(ScreensUnion(true), (CLRect{1440, 0, 2720, 1024}));
    CLRect r;
    EXPECT_TRUE(ScreenBounds(1, true, &r));
    EXPECT_EQ(r, (CLRect{0, 25, 1440, 900}));
    EXPECT_FALSE(ScreenBounds(3, false, &r));
}

TEST_F(PlacementTest, PlacerLimitsComeFromTheVisibleArea) {
    LWindow* w = Make();
    LWindowPlacer own(w, false);
    EXPECT_EQ(own.Width(), 120);
    EXPECT_EQ(own.MinWidth(), 40);
    EXPECT_EQ(own.MaxWidth(), 1440);
    // Document windows: title bar (22) and menu strip (20) above the content.
    EXPECT_EQ(own.MaxHeight(), 875 - 42);
    EXPECT_EQ(own.LargestContent(), (CLRect{0, 67, 1440, 900}));
    own.SetSizeLimits(10, 10, 5000, 500);
    EXPECT_EQ(own.MaxWidth(), 1440);
    EXPECT_EQ(own.MaxHeight(), 500);
    own.SetMinSize(2000, 30);
    EXPECT_EQ(own.MinWidth(), 1440);
    EXPECT_EQ(own.ClampWidth(100), 1440);  // the minimum wins when limits cross
    LWindowPlacer all(w, true);
    EXPECT_EQ(all.MaxWidth(), 2720);
    EXPECT_EQ(all.MaxHeight(), 1024 - 42);
    LWindowPlacer none(nullptr, false);
    EXPECT_EQ(none.MaxWidth(), 0);
    EXPECT_EQ(none.MinWidth(), 0);
}

TEST_F(PlacementTest, PlaceWindowCases) {
    struct Case {
        const char* name;
        PlacedFrame::Mode mode;
        int32_t forceW, forceH;
        CLRect request;
        const CLPoint* relative;
        CLRect expected;
    };
    static const CLPoint kRel{10, 20};
    const Case cases[] = {
        {"minimum 40 by 40", PlacedFrame::kFree, 0, 0, {100, 100, 110, 110}, nullptr, {100, 100, 140, 140}},
        {"wider than the screen",
         PlacedFrame::kFree,
         0,
         0,
         {100, 100, 2100, 400},
         nullptr,
         {0, 100, 1440, 400}},
        {"fixed size", PlacedFrame::kFixed, 0, 0, {300, 300, 800, 800}, nullptr, {300, 300, 420, 380}},
        {"frame minimum", PlacedFrame::kMinimum, 0, 0, {300, 300, 350, 350}, nullptr, {300, 300, 500, 450}},
        {"sizing handler", PlacedFrame::kFree, 250, 60, {300, 300, 800, 800}, nullptr, {300, 300, 550, 360}},
        {"relative origin", PlacedFrame::kFree, 0, 0, {100, 100, 200, 200}, &kRel, {110, 120, 210, 220}},
        {"second screen", PlacedFrame::kFree, 0, 0, {1500, 100, 1900, 400}, nullptr, {1500, 100, 1900, 400}},
        {"past the right edge",
         PlacedFrame::kFree,
         0,
         0,
         {1300, 100, 1500, 200},
         nullptr,
         {1240, 100, 1440, 200}},
        {"past the bottom", PlacedFrame::kFree, 0, 0, {100, 850, 300, 950}, nullptr, {100, 800, 300, 900}},
        {"under the menu bar", PlacedFrame::kFree, 0, 0, {100, 0, 300, 100}, nullptr, {100, 67, 300, 167}},
    };
    for (const Case& c : cases) {
        PlacedFrame frame;
        frame.mode = c.mode;
        frame.minW = 200;
        frame.minH = 150;
        frame.forceW = c.forceW;
        frame.forceH = c.forceH;
        LWindow w(&frame, LWindow::kDocument, CMacWindowKindH(new CMacWinKind(6)));
        frame.window = &w;
        EXPECT_EQ(PlaceWindow(&frame, &w, c.request, c.relative), c.expected) << c.name;
        EXPECT_EQ(mgr.ContentRect(&w), c.expected) << c.name;
    }
}

TEST_F(PlacementTest, ConstrainKeepsLeftAndTopEdgesOfOversizedFrames) {
    LWindow* w = Make();
    EXPECT_EQ(ConstrainRect(w, {-50, 100, 1550, 300}), (CLRect{0, 100, 1600, 300}));
    EXPECT_EQ(ConstrainRect(w, {10, 10, 100, 1000}), (CLRect{10, 67, 100, 1057}));
    EXPECT_EQ(ConstrainRect(w, {5000, 100, 5100, 200}), (CLRect{1340, 100, 1440, 200}));  // off screen: main
}

TEST_F(PlacementTest, StaggerModes) {
    struct Case {
        uint32_t mode, dx, dy;
        int others;  // windows at 100,100 then one step further each
        CLPoint expected;
        bool moved;
    } cases[] = {
        {2, 18, 18, 0, {100, 100}, false}, {2, 18, 18, 3, {154, 154}, true},
        {0, 18, 18, 3, {118, 100}, true},  {1, 18, 18, 3, {100, 118}, true},
        {2, 0, 0, 1, {101, 101}, true},    {1, 18, 18, 0, {100, 100}, false},
    };
    for (const Case& c : cases) {
        windows.clear();
        for (int i = 0; i < c.others; ++i) Shown({100 + 18 * i, 100 + 18 * i});
        LWindow* w = Make();
        mgr.SetContentRect(w, {100, 100, 400, 300});
        mgr.Show(w);
        EXPECT_EQ(StaggerWindow({c.mode, c.dx, c.dy}, w), c.moved) << c.mode << " " << c.others;
        CLRect r = mgr.ContentRect(w);
        EXPECT_EQ((CLPoint{r.left, r.top}), c.expected) << c.mode << " " << c.others;
        EXPECT_EQ(r.Width(), 300);
    }
}

TEST_F(PlacementTest, StaggerWrapsAtTheScreenEdges) {
    // Mode 1 at the bottom goes to the next column, back at the start row.
    for (int i = 0; i < 2; ++i) Shown({100, 600 + 18 * i});
    LWindow* w = Make();
    mgr.SetContentRect(w, {100, 600, 400, 870});
    mgr.Show(w);
    EXPECT_TRUE(StaggerWindow({1, 18, 18}, w));
    CLRect r = mgr.ContentRect(w);
    EXPECT_EQ((CLPoint{r.left, r.top}), (CLPoint{118, 600}));
    // Mode 0 at the right edge, on the last row, gives up.
    windows.clear();
    Shown({1100, 650});
    w = Make();
    mgr.SetContentRect(w, {1100, 650, 1430, 890});
    mgr.Show(w);
    EXPECT_FALSE(StaggerWindow({0, 18, 18}, w));
}

}  // namespace
