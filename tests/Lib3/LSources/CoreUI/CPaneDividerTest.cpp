#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Lib3/LSources/CoreUI/CPaneDivider.h"
#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "PaneTestSupport.h"
#include "Platform/AppKit/Cursor.h"
#include "Platform/AppKit/headless/HeadlessBackend.h"
#include "TestSurface.h"
#include "tests/support/HeadlessScreens.h"

namespace {

using Sizes = std::vector<int32_t>;

// A child with a settable preferred size.
struct Sized : LPane {
    Sized(LPane* frame, int32_t pref) : LPane(frame, frame), pref(pref) {}
    int32_t PreferredWidth(LDrawContext&, int32_t) override { return pref; }
    int32_t PreferredHeight(LDrawContext&, int32_t) override { return pref / 2; }
    int32_t pref;
};

class CPaneDividerTest : public ::testing::Test {
protected:
    // A divider at (10, 20) in the owner with children of the given preferred widths.
    CPaneDivider* Make(const Sizes& prefs, int32_t width, uint32_t orientation = CPaneDivider::kSideBySide) {
        auto* d = new CPaneDivider(&log, &owner);
        d->SetOrientation(orientation);
        d->ChangeState(LPane::kChainShow);
        d->ChangeState(LPane::kChainEnable);
        for (int32_t p : prefs) kids.push_back(new Sized(d, p));
        d->SetBounds({10, 20, 10 + width, 80});
        divider = d;
        return d;
    }
    ~CPaneDividerTest() override { delete divider; }
    Sizes Widths() const {
        Sizes out;
        for (Sized* k : kids)
            if (k->State() & LPane::kShown) out.push_back(k->Bounds().Width());
        return out;
    }
    // Each visible child starts 5 after the previous one ends and spans the frame's height.
    void ExpectGaps() const {
        int32_t at = 0;
        for (Sized* k : kids) {
            if (!(k->State() & LPane::kShown)) continue;
            EXPECT_EQ(k->Bounds().left, at);
            EXPECT_GE(k->Bounds().Width(), 0);
            EXPECT_EQ(k->Bounds().top, 0);
            EXPECT_EQ(k->Bounds().bottom, divider->Bounds().Height());
            at = k->Bounds().right + CPaneDivider::kGap;
        }
    }
    void Resize(int32_t width) { divider->SetBounds({10, 20, 10 + width, 80}); }
    void SetWidths(const Sizes& widths) {
        int32_t at = 0;
        for (size_t i = 0; i < widths.size(); ++i) {
            kids[i]->SetBounds({at, 0, at + widths[i], 60});
            at += widths[i] + CPaneDivider::kGap;
        }
    }
    void Mouse(LMsgId id, int32_t x, int32_t y) {
        mouse.SetLocation({x, y});
        LHandler::Dispatch(LMessage(id, &mouse, divider));
    }
    int Count(const char* id) const {
        return int(std::count(log.ids.begin(), log.ids.end(), std::string(id)));
    }

    testsupport::HeadlessScreens screens;
    LMouse mouse;
    MessageLog log;
    FakeOwner owner{&log, {0, 0, 1000, 200}};
    CPaneDivider* divider = nullptr;
    std::vector<Sized*> kids;
};

TEST_F(CPaneDividerTest, ResizingSpreadsSpaceInProportion) {
    struct Case {
        const char* what;
        Sizes prefs;
        int32_t width;     // laid out from scratch at this width
        Sizes start;       // or these sizes set by hand (empty: keep)
        int32_t newWidth;  // then resized to this one
        Sizes expected;
    } cases[] = {
        {"from scratch at the preferred sizes", {50, 100, 50}, 210, {}, 210, {50, 100, 50}},
        {"from scratch truncates, the last takes the rest", {50, 100, 50}, 220, {}, 220, {52, 105, 53}},
        {"shrinking at the preferred sizes is proportional", {50, 100, 50}, 210, {}, 110, {25, 50, 25}},
        {"growing is proportional to the sizes", {50, 100, 50}, 210, {}, 410, {100, 200, 100}},
        {"an undersized child gets back to its size first",
         {50, 50, 50},
         210,
         {30, 100, 70},
         250,
         {55, 109, 76}},
        {"shrinking takes from the room above the sizes",
         {50, 50, 50},
         210,
         {30, 100, 70},
         180,
         {50, 64, 56}},
        {"every preferred size 0: equal shares", {0, 0}, 110, {}, 110, {52, 53}},
        {"nothing to weigh by when growing: equal shares", {0, 0}, 5, {}, 105, {50, 50}},
        {"narrower than the gaps: sizes stay at 0", {10, 10, 10}, 6, {}, 6, {0, 0, 0}},
        {"shrinking by more than the children hold", {50, 100, 50}, 210, {}, 5, {0, 0, 0}},
        {"shrinking past the gaps", {50, 100, 50}, 210, {}, 0, {0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Make(c.prefs, c.width);
        if (!c.start.empty()) SetWidths(c.start);
        Resize(c.newWidth);
        EXPECT_EQ(Widths(), c.expected);
        ExpectGaps();
        delete divider;
        divider = nullptr;
        kids.clear();
    }
}

TEST_F(CPaneDividerTest, HiddenChildrenAreLeftOutAndNoneLaysOutNothing) {
    Make({50, 50, 50}, 160);
    kids[1]->ChangeState(LPane::kHide);
    const CLRect hidden = kids[1]->Bounds();
    Resize(260);
    EXPECT_EQ(kids[1]->Bounds(), hidden);
    EXPECT_EQ(Widths(), (Sizes{100, 100}));
    ExpectGaps();
    for (Sized* k : kids) k->ChangeState(LPane::kHide);
    Resize(100);
    divider->Distribute(40, 0, 5);
    divider->LayoutFromScratch();
    EXPECT_TRUE(divider->VisibleChildren().empty());
    EXPECT_EQ(divider->DividerBand(0), CLRect());
}

TEST_F(CPaneDividerTest, PreferredSizesAddAlongAndTakeTheLargestAcross) {
    Make({50, 100, 30}, 210);
    LPanePort port(divider);
    LDrawContext ctx(port);
    EXPECT_EQ(divider->PreferredWidth(ctx, 0), 190);
    EXPECT_EQ(divider->PreferredHeight(ctx, 0), 50);
    divider->SetOrientation(CPaneDivider::kStacked);
    EXPECT_EQ(divider->PreferredHeight(ctx, 0), 25 + 50 + 15 + 10);
    EXPECT_EQ(divider->PreferredWidth(ctx, 0), 100);
    // Stacked, the children span the frame's width and are laid out top to bottom.
    EXPECT_EQ(kids[0]->Bounds().left, 0);
    EXPECT_EQ(kids[0]->Bounds().right, 210);
    EXPECT_EQ(kids[1]->Bounds().top, kids[0]->Bounds().bottom + 5);
}

TEST_F(CPaneDividerTest, DragsStayWithinTheLimitsAndReportTheChange) {
    Make({50, 100, 50}, 410);
    ASSERT_EQ(Widths(), (Sizes{100, 200, 100}));
    EXPECT_EQ(divider->DividerBand(0), (CLRect{100, 0, 105, 60}));
    // A press on the first band (frame at 10, 20): the limits keep every side at its sizes.
    Mouse(LMouse_Click, 10 + 102, 30);
    EXPECT_EQ(divider->DragPosition(), 100);
    EXPECT_EQ(divider->DragMinimum(), 50);
    EXPECT_EQ(divider->DragMaximum(), 410 - 150 - 10);
    EXPECT_EQ(Count("LPane_ReqCapture"), 1);
    Mouse(LMouse_Move, 10 + 102 - 500, 30);
    EXPECT_EQ(divider->DragPosition(), 50);
    EXPECT_EQ(Widths(), (Sizes{100, 200, 100})) << "nothing moves before the release";
    Mouse(LMouse_Release, 10 + 102 - 500, 30);
    EXPECT_EQ(divider->DragPosition(), -1);
    EXPECT_EQ(Widths(), (Sizes{50, 250, 100}));
    ExpectGaps();
    EXPECT_EQ(Count("CPaneDivider_Change"), 1);

    // The second divider dragged far right stops where the last child keeps its size.
    Mouse(LMouse_Click, 10 + 307, 30);
    EXPECT_EQ(divider->DragMinimum(), 150 + 5);
    EXPECT_EQ(divider->DragMaximum(), 410 - 50 - 5);
    Mouse(LMouse_Move, 10 + 900, 30);
    Mouse(LMouse_Release, 10 + 900, 30);
    EXPECT_EQ(divider->DragPosition(), -1);
    EXPECT_EQ(Widths(), (Sizes{50, 300, 50}));
    ExpectGaps();

    // Set by position: clamped, both neighbours adjusted, the drag state left alone.
    divider->SetDividerPosition(0, 1000);
    EXPECT_EQ(divider->DragPosition(), -1);
    EXPECT_EQ(Widths(), (Sizes{250, 100, 50}));
    ExpectGaps();
    divider->SetDividerPosition(7, 10);  // no such divider
    EXPECT_EQ(Widths(), (Sizes{250, 100, 50}));
    EXPECT_EQ(Count("CPaneDivider_Change"), 2);  // drags only
}

TEST_F(CPaneDividerTest, AFrameTooSmallForThePreferredSizesKeepsItsDividerStill) {
    Make({100, 100}, 50);
    const Sizes before = Widths();
    Mouse(LMouse_Click, 10 + before[0] + 1, 30);
    EXPECT_EQ(divider->DragMinimum(), divider->DragMaximum());
    Mouse(LMouse_Move, 10 + 200, 30);
    Mouse(LMouse_Release, 10 + 200, 30);
    EXPECT_EQ(Widths(), before);
}

TEST_F(CPaneDividerTest, OneChildHasNoDividerAndHitsFallThroughBesideTheBands) {
    Make({50}, 200);
    EXPECT_EQ(divider->DividerBand(0), CLRect());
    Mouse(LMouse_Click, 10 + 100, 30);
    EXPECT_EQ(divider->DragPosition(), -1);
    EXPECT_EQ(Count("LPane_ReqCapture"), 0);
    delete divider;
    kids.clear();

    Make({50, 50}, 105);
    EXPECT_EQ(divider->FindPaneAt({10 + 52, 30}), divider);  // on the band
    EXPECT_EQ(divider->FindPaneAt({10 + 20, 30}), kids[0]);
    kids[0]->ChangeState(LPane::kLock);                      // a child that ignores the mouse
    EXPECT_EQ(divider->FindPaneAt({10 + 20, 30}), nullptr);  // the frame itself only on a band
}

TEST_F(CPaneDividerTest, TheCursorOverABandIsTheResizeCursorOfTheOrientation) {
    Make({50, 50}, 105);
    Mouse(LMouse_Cursor, 10 + 52, 30);
    ASSERT_TRUE(screens.Backend().CurrentCursor());
    EXPECT_STREQ(screens.Backend().CurrentCursor()->Name(), "resizeLeftRight");
    divider->SetOrientation(CPaneDivider::kStacked);
    const CLRect band = divider->DividerBand(0);
    Mouse(LMouse_Cursor, 10 + 20, 20 + band.top + 1);
    EXPECT_STREQ(screens.Backend().CurrentCursor()->Name(), "resizeUpDown");
}

TEST_F(CPaneDividerTest, AChildsNewPreferenceIsDeferredThenMetWhereTheOthersHaveRoom) {
    Make({50, 50}, 205);
    ASSERT_EQ(Widths(), (Sizes{100, 100}));
    kids[0]->pref = 120;
    log.ids.clear();
    LHandler::Dispatch(LMessage(LPane_Pref, kids[0], divider));
    EXPECT_EQ(Count("LPane_Defer"), 1);
    EXPECT_EQ(Count("LPane_Pref"), 0);
    LHandler::Dispatch(LMessage(LPane_Deferred, divider, divider));
    EXPECT_EQ(Widths(), (Sizes{120, 80}));
    ExpectGaps();
    // A preference the frame cannot meet leaves the sizes alone.
    kids[1]->pref = 100;
    LHandler::Dispatch(LMessage(LPane_Deferred, divider, divider));
    EXPECT_EQ(Widths(), (Sizes{120, 80}));
}

TEST_F(CPaneDividerTest, BandsAreDrawnOverTheChildren) {
    Make({50, 50}, 105);
    TestSurface surface(200, 100);
    LPanePort port(divider, LPanePort::Surroundings{});
    port.clip = CRgn(CLRect{0, 0, 200, 100});
    LDrawContext ctx(port, surface.native.get());
    divider->Draw(ctx);
    EXPECT_EQ(surface.At(10 + 52, 40), 0xC0C0C0u);  // grey level 3 inside
    EXPECT_EQ(surface.At(10 + 50, 40), 0xFFFFFFu);  // level 4 on the left edge
    EXPECT_EQ(surface.At(10 + 54, 40), 0x808080u);  // level 2 on the right edge
}

}  // namespace
