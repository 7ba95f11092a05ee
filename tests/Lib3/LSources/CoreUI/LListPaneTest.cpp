#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "Lib3/LSources/CoreData/LTimer.h"
#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LListNavi.h"
#include "Lib3/LSources/CoreUI/LListPane.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LScrollBar.h"
#include "PaneTestSupport.h"
#include "tests/support/HeadlessScreens.h"

namespace {

class TestList : public LListPane {
public:
    TestList(LPane* owner, uint32_t mode) : LListPane(owner, mode) {
        ChangeState(kChainShow);
        ChangeState(kChainEnable);
    }
    void DrawCell(LDrawContext&, const CLPoint& cell, const CLRect&) override { drawn.push_back(cell); }
    std::vector<CLPoint> drawn;
};

CRgn Cells(std::initializer_list<CLPoint> cells) {
    CRgn r;
    for (const CLPoint& c : cells) r |= CRgn(CLRect{c.x, c.y, c.x + 1, c.y + 1});
    return r;
}

class LListPaneTest : public ::testing::Test {
protected:
    LListPaneTest() {
        if (!LMouse::Get()) ownMouse = std::make_unique<LMouse>();
        owner = std::make_unique<FakeOwner>(&log, CLRect{0, 0, 400, 400});
    }
    // A list of 2 × 100 cells of 20 pixels in a 200-pixel-high pane at (10, 10).
    TestList* MakeList(uint32_t mode = LListPane::kSelectMultiple) {
        list = std::make_unique<TestList>(owner.get(), mode);
        list->SetBounds({10, 10, 50, 210});
        list->SetGridSize(2, 100);
        return list.get();
    }
    void MouseAt(CLPoint p) { LMouse::Get()->SetLocation(p); }
    void Send(LMsgId id, LHandler* to) { LHandler::Dispatch(LMessage(id, LMouse::Get(), to)); }

    testsupport::HeadlessScreens screens;
    std::unique_ptr<LMouse> ownMouse;
    MessageLog log;
    std::unique_ptr<FakeOwner> owner;
    std::unique_ptr<TestList> list;
};

TEST_F(LListPaneTest, GeometryOfATallList) {
    TestList* l = MakeList();
    EXPECT_EQ(l->FullyVisibleRows(), 10);
    EXPECT_EQ(l->LastFirstRow(), 90);
    EXPECT_EQ(l->LastFirstColumn(), 0);
    EXPECT_EQ(l->CellAt({10, 10}), (CLPoint{0, 0}));
    EXPECT_EQ(l->CellAt({49, 49}), (CLPoint{1, 1}));
    EXPECT_EQ(l->CellAt({9, 9}), (CLPoint{-1, -1}));
    EXPECT_EQ(l->NearestGap({10, 40}), (CLPoint{0, 2}));
    EXPECT_EQ(l->NearestGap({10, 39}), (CLPoint{0, 1}));
    l->SetScrollPos(0, 5);
    EXPECT_EQ(l->CellRect({1, 6}), (CLRect{30, 30, 50, 50}));
    EXPECT_EQ(l->ClampScrollPos({-3, 200}), (CLPoint{0, 90}));
    // Cells higher than the pane: any row may come first.
    l->SetCellSize(20, 500);
    EXPECT_EQ(l->ClampScrollPos({0, 200}), (CLPoint{0, 99}));
    // Sizes below 1 become 1.
    l->SetCellSize(0, -4);
    EXPECT_EQ(l->CellWidth(), 1);
    EXPECT_EQ(l->CellHeight(), 1);
}

TEST_F(LListPaneTest, ClickRulesOfMultipleAndRangeModes) {
    TestList* l = MakeList();
    l->SetSelection(Cells({{0, 2}, {0, 3}, {0, 4}}));
    l->ClickSelect({0, 3}, false, false);
    EXPECT_TRUE(l->Selection() == Cells({{0, 3}}));  // plain click on a selected cell
    l->SetSelection(Cells({{0, 2}, {0, 3}}));
    l->ClickSelect({0, 3}, false, true);
    EXPECT_TRUE(l->Selection() == Cells({{0, 2}}));  // command-click removes it
    l->ClickSelect({1, 5}, true, false);
    EXPECT_TRUE(l->Selection() == CRgn(CLRect{0, 2, 2, 6}));  // shift below: from the top-left
    EXPECT_EQ(l->FirstSelected(), (CLPoint{-1, -1}));

    TestList* r = MakeList(LListPane::kSelectRange);
    r->SetSelection(CRgn(CLRect{0, 5, 2, 8}));
    r->ClickSelect({0, 2}, true, false);
    EXPECT_TRUE(r->Selection() == CRgn(CLRect{0, 2, 2, 8}));  // shift above: to the bottom-right
    r->ClickSelect({1, 1}, false, false);
    EXPECT_EQ(r->FirstSelected(), (CLPoint{1, 1}));

    TestList* s = MakeList(LListPane::kSelectSingle);
    s->ClickSelect({1, 1}, true, true);
    EXPECT_EQ(s->FirstSelected(), (CLPoint{1, 1}));
    s->ClickSelect({5, 1}, false, false);  // outside the grid: nothing left
    EXPECT_TRUE(s->Selection().IsEmpty());
}

TEST_F(LListPaneTest, SelectionChangeRedrawsOnlyVisibleChangedCells) {
    TestList* l = MakeList();
    l->SetSelection(Cells({{0, 1}, {0, 2}, {0, 50}}));
    owner->invalids.clear();
    log.ids.clear();
    l->SetSelection(Cells({{0, 2}, {1, 3}, {0, 60}}));
    ASSERT_EQ(owner->invalids.size(), 1u);
    // (0, 1) and (1, 3) changed on screen; rows 50 and 60 are out of sight.
    EXPECT_TRUE(owner->invalids[0] == Union({{10, 30, 30, 50}, {30, 70, 50, 90}}));
    EXPECT_EQ(log.ids, (std::vector<std::string>{"LListPane_SelChange"}));
    owner->invalids.clear();
    l->SetSelection(Cells({{0, 2}, {1, 3}, {0, 60}, {5, 5}}));  // (5, 5) is outside the grid
    EXPECT_TRUE(owner->invalids.empty());
}

TEST_F(LListPaneTest, RemoveRowsMendsTheScrollPosition) {
    TestList* l = MakeList();
    l->SetScrollPos(0, 90);
    l->RemoveRows(95, 5);
    EXPECT_EQ(l->FirstRow(), 90);  // fewer removed rows leave the position
    l->RemoveRows(10, 85);
    EXPECT_EQ(l->Rows(), 10);
    EXPECT_EQ(l->FirstRow(), 9);
    l->RemoveRows(0, 10);
    EXPECT_EQ(l->FirstRow(), 0);
    l->RemoveRows(3, 1);  // past the end: ignored
    EXPECT_EQ(l->Rows(), 0);
}

TEST_F(LListPaneTest, InsertAndRemoveMoveTheSelection) {
    TestList* l = MakeList();
    l->SetSelection(Cells({{0, 1}, {0, 5}}));
    ASSERT_TRUE(l->InsertRows(3, 2));
    EXPECT_TRUE(l->Selection() == Cells({{0, 1}, {0, 7}}));
    l->RemoveRows(0, 2);
    EXPECT_TRUE(l->Selection() == Cells({{0, 5}}));
    EXPECT_FALSE(l->InsertRows(0, 0x7FFFFFFF));  // would overflow
    EXPECT_EQ(l->Rows(), 100);
    EXPECT_TRUE(l->InsertColumns(4, 1));  // past the end: the gap counts
    EXPECT_EQ(l->Columns(), 5);
}

TEST_F(LListPaneTest, DragOutsideAutoScrollsUnlessAtTheEnd) {
    TestList* l = MakeList();
    MouseAt({20, 20});
    Send(LMouse_Click, l);
    EXPECT_EQ(l->LastClicked(), (CLPoint{0, 0}));
    MouseAt({20, 250});  // below
    Send(LMouse_Move, l);
    EXPECT_EQ(l->FirstRow(), 1);
    ASSERT_NE(l->AutoScrollTimer(), nullptr);
    EXPECT_TRUE(l->Selection() == CRgn(CLRect{0, 0, 1, 11}));
    LHandler::Dispatch(LMessage(LTimer_Expire, l->AutoScrollTimer(), l));
    EXPECT_EQ(l->FirstRow(), 2);
    Send(LMouse_Release, l);
    EXPECT_EQ(l->AutoScrollTimer(), nullptr);

    l->SetScrollPos(0, 90);
    Send(LMouse_Move, l);
    EXPECT_EQ(l->FirstRow(), 90);
    EXPECT_EQ(l->AutoScrollTimer(), nullptr);
}

TEST_F(LListPaneTest, DrawVisitsTheVisibleCellsRowByRow) {
    TestList* l = MakeList();
    l->SetScrollPos(0, 10);
    LPanePort port(l);
    LDrawContext ctx(port, nullptr, CRgn(CLRect{10, 10, 50, 50}));
    l->Draw(ctx);
    EXPECT_EQ(l->drawn, (std::vector<CLPoint>{{0, 10}, {1, 10}, {0, 11}, {1, 11}}));
}

TEST_F(LListPaneTest, KeyRepeatDelays) {
    screens.Backend().SetKeyRepeatTicks(15, 2);
    EXPECT_EQ(LListPane::InitialDelayMs(), 250u);
    EXPECT_EQ(LListPane::RepeatDelayMs(), 33u);
    screens.Backend().SetKeyRepeatTicks(120, 60);
    EXPECT_EQ(LListPane::InitialDelayMs(), 1000u);
    EXPECT_EQ(LListPane::RepeatDelayMs(), 500u);
}

class LListNaviTest : public LListPaneTest {
protected:
    LListNavi* MakeNavi(int32_t cellHeight) {
        navi = std::make_unique<LListNavi>(owner.get(), LListNavi::kVerticalBar, 0);
        navi->ChangeState(LPane::kChainShow);
        navi->ChangeState(LPane::kChainEnable);
        navi->SetBounds({0, 0, 2 + 40 + 16, 202});
        auto* l = new TestList(navi.get(), LListPane::kSelectMultiple);
        l->SetCellSize(20, cellHeight);
        l->SetGridSize(2, 100);
        navi->SetListPane(l);
        return navi.get();
    }
    std::unique_ptr<LListNavi> navi;
};

TEST_F(LListNaviTest, BarsStepByRowAndPage) {
    LListNavi* n = MakeNavi(20);
    LListPane* l = n->ListPane();
    EXPECT_EQ(l->Bounds().Height(), 200);
    EXPECT_EQ(n->VerticalBar()->Maximum(), 90);
    LHandler::Dispatch(LMessage(LScrollBar_Dw, n->VerticalBar(), n));
    EXPECT_EQ(l->FirstRow(), 1);
    LHandler::Dispatch(LMessage(LScrollBar_PgDw, n->VerticalBar(), n));
    EXPECT_EQ(l->FirstRow(), 10);
    EXPECT_EQ(n->VerticalBar()->GetValue(), 10);
    LHandler::Dispatch(LMessage(LScrollBar_PgUp, n->VerticalBar(), n));
    LHandler::Dispatch(LMessage(LScrollBar_Up, n->VerticalBar(), n));
    EXPECT_EQ(l->FirstRow(), 0);
}

TEST_F(LListNaviTest, SmallCellsStepSeveralRowsAndTheWheelMovesTwo) {
    EXPECT_EQ(MakeNavi(5)->RowStep(), 3);
    LListNavi* n = MakeNavi(20);
    LMouse::Get()->SetWheel({20, 20}, 0, -20, 0);  // one line down
    LHandler::Dispatch(LMessage(LMouse_Wheel, LMouse::Get(), n));
    EXPECT_EQ(n->ListPane()->FirstRow(), 2);
}

}  // namespace
