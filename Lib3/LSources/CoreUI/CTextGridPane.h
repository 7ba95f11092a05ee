#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/CoreUI/LColor.h"
#include "Lib3/LSources/CoreUI/LListPane.h"
#include "Lib3/LSources/CoreUI/LTextBox.h"

// A list whose cells are one line of text each: the cell height is the style's line height, the text
// starts one blank in from the cell's left edge, on a baseline (0: at the cell top). Selected cells
// are filled with the selection colour; other cells with the background colour when one is set.
// Derived classes answer GetCellText. Main thread only.
class CTextGridPane : public LListPane {
public:
    CTextGridPane(LPane* owner, uint32_t selectionMode);

    void StateChanged(uint32_t op) override;
    void DrawCell(LDrawContext& ctx, const CLPoint& cell, const CLRect& r) override;
    // Erases the background only when no background colour is set.
    void InvalidateCells(const CRgn& pixels) override;

    // The text of a cell; dim asks for the disabled text colour. Empty by default.
    virtual LString GetCellText(const CLPoint& cell, bool& dim);

    void SetTextStyle(const LTextStyleH& style);
    void SetAlignment(uint32_t alignment);
    void SetBaseline(uint32_t y);
    void SetBackground(const LColor& colour);

    const LTextStyleH& TextStyle() const { return fDrawer.Style(); }
    uint32_t Baseline() const { return fBaseline; }
    uint32_t LeftInset() const { return fInset; }
    const LColor& Background() const { return fBackground; }

protected:
    LTextBox& Drawer() { return fDrawer; }

private:
    void UpdateMetrics();
    void RedrawAll() { InvalidateCells(CRgn(Bounds())); }

    uint32_t fBaseline = 0;
    LColor fBackground;
    LTextBox fDrawer;
    uint32_t fInset = 0;
};

// Row or column numbers: a cell's text is its 1-based column when the grid has at least as many
// columns as rows, else its 1-based row.
class CNumberGridPane : public CTextGridPane {
public:
    using CTextGridPane::CTextGridPane;

    // Kind -13 answers the width of "M".
    int32_t PreferredWidth(LDrawContext& ctx, int32_t kind) override;
    LString GetCellText(const CLPoint& cell, bool& dim) override;
};
