#pragma once

#include <string>
#include <vector>

#include "Lib3/LSources/CoreUI/CCellGridPane.h"
#include "Lib3/LSources/CoreUI/CTabFocusPane.h"

// A cell frame that records what it is asked: it takes the focus at any point and counts focus steps.
class TestCell : public CTabFocusPane {
public:
    TestCell(LPane* grid, int32_t width) : CTabFocusPane(grid, grid), fWidth(width) {}
    int32_t PreferredWidth(LDrawContext&, int32_t kind) override { return kind >= 0 ? fWidth : 0; }
    int32_t PreferredHeight(LDrawContext&, int32_t kind) override { return kind >= 0 ? 20 : 0; }
    bool FocusNearest(const CLPoint&) override {
        Dispatch(LMessage(LPane_ReqFocus, this, Upper()));
        return true;
    }
    bool TakeFocus(int32_t backwards, bool) override {
        steps.push_back(backwards ? -1 : 1);
        return true;
    }
    LPane* FindFocusable() override { return IsUsable() ? this : nullptr; }
    void Draw(LDrawContext&) override { ++draws; }
    std::vector<int> steps;
    std::string bound;
    int draws = 0;

private:
    int32_t fWidth;
};

// Cells that show "column,row" for every cell of the grid.
class TestGrid : public CCellGridPane {
public:
    TestGrid(LPane* owner, bool live, int32_t cellWidth = 100, bool keep = false)
        : CCellGridPane(owner, kSelectMultiple, keep, live), fCellWidth(cellWidth) {
        ChangeState(kChainShow);
        ChangeState(kChainEnable);
    }
    ~TestGrid() override { SetGridSize(0, 0); }
    CTabFocusPane* CreateCellPane() override {
        ++made;
        return new TestCell(this, fCellWidth);
    }
    bool BindCell(LPane* pane, const CLPoint& cell) override {
        ++binds;
        static_cast<TestCell*>(pane)->bound = std::to_string(cell.x) + "," + std::to_string(cell.y);
        return true;
    }
    uint32_t CellSizeMode() override { return mode; }
    int made = 0;
    int binds = 0;
    uint32_t mode = 0;

private:
    int32_t fCellWidth;
};
