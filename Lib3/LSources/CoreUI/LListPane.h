#pragma once

#include <cstdint>
#include <memory>

#include "Common/Rgn/CRgn.h"
#include "Lib3/LSources/CoreUI/LPane.h"

class LTimer;

L_MESSAGE_ID(LListPane_Change);
L_MESSAGE_ID(LListPane_SelChange);
L_MESSAGE_ID(LListPane_Clicked);

// How a click and a drag extend the selection.
struct LListSelTrack {
    CLPoint anchor;
    uint32_t mode = 0;  // 0 none, 1 single cell, 2 rectangular range, 3 multiple
    uint8_t adding = 0;
    uint8_t addNotRemove = 0;
    uint8_t toggleWithoutModifier = 0;
};

// A grid of equally sized cells (column, row) that scrolls by whole cells, keeps a selection of cells
// (a region in cell units) and tracks the mouse to select, scrolling while the mouse is held outside.
// Derived classes draw the cells. Coordinates are the owner's; main thread only.
class LListPane : public LPane {
public:
    enum : uint32_t { kSelectNone = 0, kSelectSingle = 1, kSelectRange = 2, kSelectMultiple = 3 };

    LListPane(LPane* owner, uint32_t selectionMode);
    ~LListPane() override;

    LMessage Handle(const LMessage& msg) override;
    void FillPort(LPanePort& port) override;
    void BoundsChanged(const CLRect& old) override;
    int32_t PreferredWidth(LDrawContext& ctx, int32_t kind) override;
    int32_t PreferredHeight(LDrawContext& ctx, int32_t kind) override;
    void Draw(LDrawContext& ctx) override;

    // Draws one cell; cells outside the grid are passed too when the grid is smaller than the pane.
    virtual void DrawCell(LDrawContext& ctx, const CLPoint& cell, const CLRect& r) = 0;
    virtual void SetSelection(const CRgn& cells);
    virtual void SelectionChanged(const CRgn& /*changed*/, const CRgn& /*old*/) {}
    // Columns (axis 0) or rows (axis 1) inserted (count > 0) or removed (count < 0).
    virtual void CellsInserted(int32_t /*axis*/, int32_t /*index*/, int32_t /*count*/) {}
    virtual bool DrawsPlaceholder() { return true; }
    virtual void Scrolled() {}
    virtual void InvalidateCells(const CRgn& pixels);
    virtual void CellSizeChanged(int32_t width, int32_t height);

    int32_t Columns() const { return fColumns; }
    int32_t Rows() const { return fRows; }
    int32_t FirstColumn() const { return fFirstColumn; }
    int32_t FirstRow() const { return fFirstRow; }
    int32_t CellWidth() const { return fCellWidth; }
    int32_t CellHeight() const { return fCellHeight; }
    CLPoint LastClicked() const { return fLastClicked; }
    const CRgn& Selection() const { return fSelection; }
    LListSelTrack& Track() { return fTrack; }
    LTimer* AutoScrollTimer() const { return fTimer.get(); }

    void ClearSelection();
    void SelectCell(const CLPoint& cell);
    void AddToSelection(const CLPoint& cell);
    void RemoveFromSelection(const CLPoint& cell);
    bool IsSelected(const CLPoint& cell) const;
    // The selected cell when exactly one is selected, else (-1, -1).
    CLPoint FirstSelected() const;
    static bool IsSingleCell(const CRgn& cells);

    void SetScrollPos(int32_t firstColumn, int32_t firstRow);
    void RevealCell(const CLPoint& cell);
    void RevealSelection();
    CLPoint ClampScrollPos(const CLPoint& position) const;
    void InvalidateSelection();

    void SetCellSize(int32_t width, int32_t height);
    // Counts that would take the grid past 2^31 - 1 cells on an axis are refused (false).
    bool InsertColumns(int32_t index, int32_t count);
    bool InsertRows(int32_t index, int32_t count);
    void RemoveColumns(int32_t index, int32_t count);
    void RemoveRows(int32_t index, int32_t count);
    void SetGridSize(int32_t columns, int32_t rows);

    CLPoint CellAt(const CLPoint& local) const;
    CLPoint NearestGap(const CLPoint& local) const;
    CLRect CellRect(const CLPoint& cell) const;
    int32_t FullyVisibleColumns() const;
    int32_t FullyVisibleRows() const;
    int32_t VisibleColumns() const;
    int32_t VisibleRows() const;
    int32_t LastFirstColumn() const;
    int32_t LastFirstRow() const;
    // The cells of a cell-unit rectangle as pixels (clamped to the bounds).
    CRgn PixelsOfCells(const CRgn& cells) const;

    // The mouse location in the owner's coordinates.
    CLPoint MouseLocal();
    // Key-repeat delays in milliseconds: initial min(ticks × 1000 / 60, 1000), repeat min(…, 500).
    static uint32_t InitialDelayMs();
    static uint32_t RepeatDelayMs();

    // Click selection and its extension (used by the mouse tracking and by drag helpers).
    void ClickSelect(const CLPoint& cell, bool shift, bool command);
    CRgn ExtendSelection(const CLPoint& cell) const;
    void ApplyTracked(const CRgn& cells);

protected:
    void SendChange() { Dispatch(LMessage(LListPane_Change, this, Upper())); }

private:
    CLRect GridExtent(int32_t firstColumn, int32_t firstRow) const;
    CLPoint AutoScrollDirection(const CLPoint& local) const;
    CLPoint ClampedCellUnderMouse(const CLPoint& local) const;
    void TrackStep(const CLPoint& local);

    int32_t fColumns = 0;
    int32_t fRows = 0;
    int32_t fFirstColumn = 0;
    int32_t fFirstRow = 0;
    CLPoint fLastClicked{-1, -1};
    int32_t fCellWidth = 20;
    int32_t fCellHeight = 20;
    std::unique_ptr<LTimer> fTimer;
    CRgn fSelection;
    LListSelTrack fTrack;
};
