#include <gtest/gtest.h>

#include <memory>

#include "CellGridTestSupport.h"
#include "Lib3/LSources/CoreUI/CCellGridPane.h"
#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LKeyboard.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "PaneTestSupport.h"
#include "tests/support/HeadlessScreens.h"

namespace {

class CCellGridPaneTest : public ::testing::Test {
protected:
    CCellGridPaneTest() {
        if (!LMouse::Get()) mouse = std::make_unique<LMouse>();
        if (!LKeyboard::Get()) keyboard = std::make_unique<LKeyboard>();
        owner = std::make_unique<FakeOwner>(&log, CLRect{0, 0, 400, 400});
    }
    TestGrid* Make(bool live, int32_t columns, int32_t rows, int32_t cellWidth = 100) {
        grid = std::make_unique<TestGrid>(owner.get(), live, cellWidth);
        grid->SetBounds({0, 0, 200, 200});
        (void)grid->GetPrototypeCell();
        grid->SetGridSize(columns, rows);
        return grid.get();
    }
    void DrawAll() {
        LPanePort port(grid.get());
        LDrawContext ctx(port, nullptr, CRgn(grid->Bounds()));
        grid->Draw(ctx);
    }
    // Focuses a cell the way a click into its pane does.
    void FocusCell(CLPoint cell) {
        const CLRect r = grid->CellRect(cell);
        ASSERT_TRUE(grid->FocusCellAt(cell, {r.Width() / 2, r.Height() / 2}));
    }
    bool Key(uint32_t unicode) {
        plat::Event e;
        e.type = plat::EventType::kKeyDown;
        e.characters = unicode == 0xF701   ? "\xEF\x9C\x81"
                       : unicode == 0xF702 ? "\xEF\x9C\x82"
                                           : "\xEF\x9C\x83";
        e.charactersIgnoringModifiers = e.characters;
        LKeyboard::Get()->Fill(e);
        log.ids.clear();
        LHandler::Dispatch(LMessage(LKeyboard_Down, LKeyboard::Get(), grid.get()));
        return log.ids.empty() || log.ids.back() != "LKeyboard_Down";
    }

    testsupport::HeadlessScreens screens;
    std::unique_ptr<LMouse> mouse;
    std::unique_ptr<LKeyboard> keyboard;
    MessageLog log;
    std::unique_ptr<FakeOwner> owner;
    std::unique_ptr<TestGrid> grid;
};

TEST_F(CCellGridPaneTest, PrototypeRowsCostAHandfulOfPanes) {
    TestGrid* g = Make(false, 1, 2000);
    EXPECT_EQ(g->CellHeight(), 20);
    for (int32_t first = 0; first < 2000; first += 10) {
        g->SetScrollPos(0, std::min(first, g->LastFirstRow()));
        DrawAll();
    }
    EXPECT_GE(g->binds, 2000);
    // The mouse over a cell and a click into it.
    EXPECT_NE(g->FindPaneAt({50, 50}), g);
    FocusCell({0, g->FirstRow() + 3});
    EXPECT_NE(g->FindPaneAt({50, 90}), g);
    EXPECT_LE(g->PaneCount(), 4u);
    CLPoint focus;
    ASSERT_TRUE(g->GetFocusCell(&focus));
    EXPECT_EQ(focus, (CLPoint{0, g->FirstRow() + 3}));
}

// Scrolled through a long column or a long row (a strip of columns), the grid keeps panes for the
// visible cells and a margin only.
TEST_F(CCellGridPaneTest, LiveModeKeepsPanesForTheVisibleCellsOnly) {
    for (bool columns : {false, true}) {
        TestGrid* g = columns ? Make(true, 2000, 1, 20) : Make(true, 1, 10000);
        const int32_t last = columns ? g->LastFirstColumn() : g->LastFirstRow();
        for (int32_t first = 0; first <= last; first += 7) {
            g->SetScrollPos(columns ? first : 0, columns ? 0 : first);
            DrawAll();
        }
        const int32_t visible = columns ? g->VisibleColumns() : g->VisibleRows();
        const uint32_t bound = uint32_t(visible + 2 * CCellGridPane::kLiveMargin + 2);
        EXPECT_LE(g->LiveCellCount(), bound) << columns;
        EXPECT_LE(g->PaneCount(), bound + 2) << columns;
        EXPECT_GT(g->LiveCellCount(), 5u) << columns;
    }
}

TEST_F(CCellGridPaneTest, WideSingleColumnCellsKeepLeftAndRightInside) {
    TestGrid* g = Make(false, 1, 20, 200);
    FocusCell({0, 2});
    auto* cell = static_cast<TestCell*>(g->Focus().pane);
    ASSERT_NE(cell, nullptr);
    EXPECT_TRUE(Key(0xF702));
    EXPECT_TRUE(Key(0xF703));
    EXPECT_EQ(cell->steps, (std::vector<int>{-1, 1}));
    EXPECT_EQ(g->Focus().cell, (CLPoint{0, 2}));
    // Down moves to the next row; in the last row it is handled without a move.
    EXPECT_TRUE(Key(0xF701));
    EXPECT_EQ(g->Focus().cell, (CLPoint{0, 3}));
    FocusCell({0, 19});
    EXPECT_TRUE(Key(0xF701));
    EXPECT_EQ(g->Focus().cell, (CLPoint{0, 19}));
}

TEST_F(CCellGridPaneTest, NarrowSingleColumnLeavesLeftAndRightToOthers) {
    Make(false, 1, 20, 10);
    FocusCell({0, 2});
    EXPECT_FALSE(Key(0xF702));
}

TEST_F(CCellGridPaneTest, RemovingTheFocusRowUnfocusesAndHidesItsPane) {
    TestGrid* g = Make(false, 1, 20);
    FocusCell({0, 4});
    LPane* pane = g->Focus().pane;
    ASSERT_NE(pane, nullptr);
    EXPECT_TRUE(pane->IsVisible());
    g->RemoveRows(4, 1);
    CLPoint focus;
    EXPECT_FALSE(g->GetFocusCell(&focus));
    EXPECT_FALSE(pane->IsVisible());
    // Rows after the removed one move up with their panes.
    FocusCell({0, 6});
    g->RemoveRows(2, 2);
    ASSERT_TRUE(g->GetFocusCell(&focus));
    EXPECT_EQ(focus, (CLPoint{0, 4}));
    EXPECT_EQ(g->Focus().pane->Bounds(), g->CellRect({0, 4}));
}

TEST_F(CCellGridPaneTest, StateChangesReachTheLivePanes) {
    TestGrid* g = Make(false, 1, 20);
    FocusCell({0, 1});
    LPane* cell = g->Focus().pane;
    struct Case {
        uint32_t op;
        uint32_t bit;
        bool on;
    } cases[] = {
        {LPane::kDisable, LPane::kChainEnabled, false}, {LPane::kEnable, LPane::kChainEnabled, true},
        {LPane::kLock, LPane::kChainLocked, true},      {LPane::kUnlock, LPane::kChainLocked, false},
        {LPane::kKeyOn, LPane::kKeyWindow, true},       {LPane::kKeyOff, LPane::kKeyWindow, false},
        {LPane::kHide, LPane::kChainShown, false},      {LPane::kShow, LPane::kChainShown, true},
    };
    for (const Case& c : cases) {
        g->ChangeState(c.op);
        EXPECT_EQ((cell->State() & c.bit) != 0, c.on) << c.op;
    }
    g->ChangeState(LPane::kFocus);
    EXPECT_TRUE(cell->State() & LPane::kFocused);
    g->ChangeState(LPane::kUnfocus);
    CLPoint focus;
    EXPECT_FALSE(g->GetFocusCell(&focus));
}

TEST_F(CCellGridPaneTest, CellSizeModesAfterRelayout) {
    struct Case {
        uint32_t mode;
        int32_t width, height;
    } cases[] = {{0, 100, 20}, {1, 200, 20}, {2, 100, 200}, {3, 200, 30}, {4, 100, 200}};
    for (const Case& c : cases) {
        TestGrid* g = Make(false, 2, 20);
        g->SetCellSize(60, 30);
        g->mode = c.mode;
        g->ChangeState(LPane::kRelayout);
        EXPECT_EQ(g->CellWidth(), c.width) << c.mode;
        EXPECT_EQ(g->CellHeight(), c.height) << c.mode;
    }
    // Mode 0 keeps a single column as wide as the pane.
    TestGrid* g = Make(false, 1, 20);
    g->SetCellSize(200, 20);
    g->ChangeState(LPane::kRelayout);
    EXPECT_EQ(g->CellWidth(), 200);
}

TEST_F(CCellGridPaneTest, SelectionRecoloursLiveCellsAndDropsTheFocus) {
    TestGrid* g = Make(false, 1, 20);
    FocusCell({0, 3});
    auto* cell = static_cast<LFrame*>(g->Focus().pane);
    g->SelectCell({0, 3});
    CLPoint focus;
    EXPECT_FALSE(g->GetFocusCell(&focus));  // no keep-selection flag
    EXPECT_TRUE(cell->Background().IsSame(LColor::System(3)));
    g->ClearSelection();
    EXPECT_TRUE(cell->Background().Data() == nullptr);
}

}  // namespace
