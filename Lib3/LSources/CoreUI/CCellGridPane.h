#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Lib3/LSources/CoreUI/LColor.h"
#include "Lib3/LSources/CoreUI/LListPane.h"
#include "Lib3/LSources/CoreUI/LPanePort.h"

class CTabFocusPane;

// Collects the invalidations of a pane (and of everything that draws through its port) while it is
// open, and hands them to the pane at once when the outermost batch closes.
class CPaneUpdateBatch {
public:
    struct Record {
        LPanePort port;
        CRgn invalid;
        CRgn erase;
    };

    // Opens a batch on the pane's slot when none is open there.
    CPaneUpdateBatch(LPane* pane, std::unique_ptr<Record>& slot);
    ~CPaneUpdateBatch();
    CPaneUpdateBatch(const CPaneUpdateBatch&) = delete;
    CPaneUpdateBatch& operator=(const CPaneUpdateBatch&) = delete;

private:
    LPane* fPane;
    std::unique_ptr<Record>& fSlot;
    bool fOwner;
};

// A list whose cells are real panes: the hot cell (under the mouse) and the focus cell have live panes
// that take clicks and keys; in prototype mode every other cell is drawn by one prototype pane bound
// to each cell in turn, so thousands of rows cost a handful of panes; in live mode each shown cell
// keeps a pane while its row is near the visible ones. Derived grids make and fill the cell panes.
class CCellGridPane : public LListPane {
public:
    struct CellRecord {
        CLPoint cell{-1, -1};
        LPane* pane = nullptr;
        bool IsValid() const { return pane && cell.x >= 0 && cell.y >= 0; }
    };
    // Rows (and columns) kept live beyond the visible ones in live mode.
    static constexpr int32_t kLiveMargin = 4;

    CCellGridPane(LPane* owner, uint32_t selectionMode, bool keepSelectionOnFocus, bool liveMode);
    ~CCellGridPane() override;

    LMessage Handle(const LMessage& msg) override;
    void FillPort(LPanePort& port) override;
    void Invalidate(const CRgn& invalid, const CRgn& erase) override;
    void StateChanged(uint32_t op) override;
    void BoundsChanged(const CLRect& old) override;
    LPane* FindFocusable() override;
    LPane* FindPaneAt(const CLPoint& p) override;
    int32_t PreferredWidth(LDrawContext& ctx, int32_t kind) override;
    int32_t PreferredHeight(LDrawContext& ctx, int32_t kind) override;
    void Draw(LDrawContext& ctx) override;

    void DrawCell(LDrawContext& ctx, const CLPoint& cell, const CLRect& r) override;
    void SelectionChanged(const CRgn& changed, const CRgn& old) override;
    void CellsInserted(int32_t axis, int32_t index, int32_t count) override;
    bool DrawsPlaceholder() override { return !(fPlaceholder.Data() == nullptr) && !fLive; }
    void Scrolled() override;
    void InvalidateCells(const CRgn& pixels) override;
    void CellSizeChanged(int32_t width, int32_t height) override;

    // Makes a new cell pane owned by the grid (null: the cell stays a placeholder). The prototype
    // draws through its borrowed port.
    virtual CTabFocusPane* CreateCellPane() = 0;
    // Fills the pane with the cell; false when the cell shows nothing.
    virtual bool BindCell(LPane* pane, const CLPoint& cell) = 0;
    virtual void PrepareCellPane(LPane* /*pane*/) {}
    // The cell frame's background: system colour 3 when selected, else the placeholder colour.
    virtual void SetCellSelected(LPane* pane, const CLPoint& cell, bool selected);
    // 0..4: how notice 23 sizes the cells.
    virtual uint32_t CellSizeMode() { return 0; }

    LPane* GetPrototypeCell();
    void RefreshCell(const CLPoint& cell);
    void RefreshAllCells();
    bool GetFocusCell(CLPoint* cell) const;
    void SetBackColor(const LColor& colour);
    const LColor& BackColor() const { return fPlaceholder; }
    bool FindCellOfPane(LPane* pane, CLPoint* cell) const;
    void ResetFocusRecords();
    void ReleaseCells();
    bool FocusCellAt(const CLPoint& cell, const CLPoint& point);
    void MakeHot(const CLPoint& cell);

    // Panes that exist now (prototype, hot, focus, extras and spares), and the live ones.
    uint32_t PaneCount() const;
    uint32_t LiveCellCount() const;
    const CellRecord& Hot() const { return fHot; }
    const CellRecord& Focus() const { return fFocus; }
    bool IsLiveMode() const { return fLive; }

private:
    friend class CCellRef;

    bool InGrid(const CLPoint& c) const { return c.x >= 0 && c.y >= 0 && c.x < Columns() && c.y < Rows(); }
    LPane* NewCellPane();
    void ClearRecord(CellRecord& r);
    void Bind(CellRecord& r, const CLPoint& cell);
    void MirrorState(LPane* pane);
    void Place(CellRecord& r);
    void PlaceLive();
    // The extra record of a cell, null when none.
    CellRecord* FindExtra(const CLPoint& cell, size_t* at = nullptr);
    // Puts a record back at its sorted place (frees it when it holds no pane).
    void Reinsert(std::unique_ptr<CellRecord> r);
    void EnsureSpare();
    void ExchangeWithFirst(CellRecord& r);
    void Unfocus();
    void ForEachLive(void (*fn)(CCellGridPane* grid, CellRecord& r, void* ctx), void* ctx);
    bool KeyNavigate(uint32_t key);
    void TrimLive();
    void DeletePane(LPane* pane);

    LColor fPlaceholder;
    std::unique_ptr<CPaneUpdateBatch::Record> fBatch;
    LPane* fPrototype = nullptr;
    CellRecord fHot;
    CellRecord fFocus;
    std::vector<std::unique_ptr<CellRecord>> fExtras;
    bool fKeepSelection;
    bool fLive;
    bool fPrototypeDrawing = false;
};

// A reference to the pane that shows a cell: its live pane, or the prototype with the offset from the
// prototype to the cell (not live). Without look-up-only a cell without live pane is given one first.
class CCellRef {
public:
    CCellRef(CCellGridPane* grid, const CLPoint& cell, bool lookUpOnly);
    LPane* Pane() const { return fPane; }
    CLPoint Offset() const { return fOffset; }
    bool IsLive() const { return fLive; }
    // Re-binds a live pane, or invalidates the mapped area of the prototype.
    void Redraw(const CLPoint& cell);

private:
    CCellGridPane* fGrid;
    LPane* fPane = nullptr;
    CLPoint fOffset;
    bool fLive = false;
};
