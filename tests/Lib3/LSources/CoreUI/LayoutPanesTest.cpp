#include <gtest/gtest.h>

#include "Lib3/LSources/CoreUI/CScriptLayoutPane.h"
#include "Lib3/LSources/CoreUI/CScrollContentPane.h"
#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LLayoutDesc.h"
#include "tests/Lib3/LSources/CoreUI/PaneTestSupport.h"

namespace {

struct Sized : LPane {
    Sized(LFrame* owner, int32_t w, int32_t h) : LPane(owner, owner), width(w), height(h) {}
    int32_t PreferredWidth(LDrawContext&, int32_t) override {
        ++asked;
        return width;
    }
    int32_t PreferredHeight(LDrawContext&, int32_t) override {
        ++asked;
        return height;
    }
    void BoundsChanged(const CLRect& old) override {
        ++placed;
        LPane::BoundsChanged(old);
    }
    int32_t width, height;
    int asked = 0;
    int placed = 0;
};

LLayoutParts Parts(const char* p0, const char* p1, const char* p2) {
    LLayoutParts parts;
    parts.Append(p0);
    parts.Append(p1);
    parts.Append(p2);
    return parts;
}

class LayoutPanesTest : public ::testing::Test {
protected:
    void SetUp() override { LLayoutDesc::InstallPrelude(""); }
    void TearDown() override { LLayoutDesc::ResetPrelude(); }
    MessageLog log;
};

TEST_F(LayoutPanesTest, ScriptLayoutPaneSeesItsSizeAsCwAndCh) {
    FakeOwner owner(&log, {0, 0, 400, 300});
    // Part 2 places the child from the two variables.
    const LLayoutParts parts = Parts("", "pp(0,0,0,77,33)", "pp(1,1,2,cw+1,ch+2)");
    struct Case {
        const char* name;
        int32_t fixedW, fixedH;
        bool autoSize;
        CLRect expected;
    } cases[] = {
        {"fixed width wins", 300, 0, false, {1, 2, 301, 2}},
        {"auto size from part 1", 0, 0, true, {1, 2, 78, 35}},
        {"else the current size", 0, 0, false, {1, 2, 121, 52}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CScriptLayoutPane pane(&log, &owner, parts, c.autoSize);
        auto* child = new Sized(&pane, 10, 10);
        pane.SetFixedSize(c.fixedW, c.fixedH);
        if (!c.autoSize && c.fixedW == 0) {
            // A child arrived: the first layout still takes part 1; later ones the size.
            pane.SetBounds({5, 5, 125, 55});
            EXPECT_FALSE(pane.RelayoutPending());
            pane.SetBounds({0, 0, 120, 50});
        } else {
            pane.SetBounds({0, 0, 120, 50});
        }
        EXPECT_EQ(child->Bounds(), c.expected);
    }
}

TEST_F(LayoutPanesTest, ScriptLayoutPaneIsNeverTheHitItself) {
    FakeOwner owner(&log, {0, 0, 400, 300});
    CScriptLayoutPane pane(&log, &owner, Parts("", "", ""), false);
    pane.SetBounds({0, 0, 100, 100});
    auto* child = new Sized(&pane, 10, 10);
    child->SetBounds({10, 10, 20, 20});
    EXPECT_EQ(pane.FindPaneAt({15, 15}), child);
    EXPECT_EQ(pane.FindPaneAt({50, 50}), nullptr);
    CScriptLayoutPane fixed(&log, &owner, Parts("", "", ""), false);
    fixed.SetFixedSize(300, 0);
    LPanePort port(&fixed);
    LDrawContext ctx(port);
    EXPECT_EQ(fixed.PreferredWidth(ctx, 0), 300);
    EXPECT_EQ(fixed.PreferredHeight(ctx, 0), 0);
}

TEST_F(LayoutPanesTest, ScrollContentPanePlacesItsChildByMode) {
    FakeOwner owner(&log, {0, 0, 400, 300});
    struct Case {
        uint32_t mode;
        CLRect expected;
    } cases[] = {
        {CScrollContentPane::kFill, {0, -120, 200, 30}},
        {CScrollContentPane::kHorizontal, {0, -120, 640, 30}},
        {CScrollContentPane::kVertical, {0, -120, 200, 380}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        CScrollContentPane pane(&log, &owner, c.mode);
        auto* child = new Sized(&pane, 640, 500);
        pane.SetBounds({0, 0, 200, 150});
        pane.SetScrollOffset(0, 120);
        EXPECT_EQ(child->Bounds(), c.expected);
        const int placed = child->placed;
        const int asked = child->asked;
        pane.SetScrollOffset(0, 120);
        EXPECT_EQ(child->placed, placed);
        EXPECT_EQ(child->asked, asked);
        LPanePort port(&pane);
        LDrawContext ctx(port);
        EXPECT_EQ(pane.PreferredHeight(ctx, 0), 500);
    }
    CScrollContentPane empty(&log, &owner, CScrollContentPane::kVertical);
    empty.SetScrollOffset(3, 4);
    LPanePort port(&empty);
    LDrawContext ctx(port);
    EXPECT_EQ(empty.PreferredWidth(ctx, 0), 0);
}

}  // namespace
