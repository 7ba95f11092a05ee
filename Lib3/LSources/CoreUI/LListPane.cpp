#include "Lib3/LSources/CoreUI/LListPane.h"

#include <algorithm>
#include <climits>

#include "Common/Container/CArray.h"
#include "Lib3/LSources/CoreData/LTimer.h"
#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LPanePort.h"
#include "Platform/AppKit/Backend.h"
#include "Platform/AppKit/Window.h"

namespace {

// Far enough to hold any cell index.
constexpr int32_t kFar = 0x3FFFFFFF;

CRgn CellRgn(const CLPoint& c) {
    return CRgn(CLRect{c.x, c.y, c.x + 1, c.y + 1});
}

CRgn SpanRgn(const CLPoint& a, const CLPoint& b) {
    return CRgn(
        CLRect{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x) + 1, std::max(a.y, b.y) + 1});
}

int32_t Clamp(int32_t v, int32_t lo, int32_t hi) {
    return v < lo ? lo : v > hi ? hi : v;
}

// Cells at or past index on an axis move by count; with remove, the cells in [index, index - count)
// go first.
CRgn ShiftCells(const CRgn& cells, int32_t axis, int32_t index, int32_t count) {
    const CLRect before = axis == 0 ? CLRect{-kFar, -kFar, index, kFar} : CLRect{-kFar, -kFar, kFar, index};
    CRgn low = cells;
    low &= CRgn(before);
    CRgn high = cells;
    high -= CRgn(before);
    if (count < 0) {
        const CLRect gone =
            axis == 0 ? CLRect{index, -kFar, index - count, kFar} : CLRect{-kFar, index, kFar, index - count};
        high -= CRgn(gone);
    }
    high.Shift(axis == 0 ? count : 0, axis == 0 ? 0 : count);
    low |= high;
    return low;
}

uint32_t TicksToMs(int32_t ticks, uint32_t cap) {
    const int64_t ms = int64_t(std::max(ticks, 0)) * 1000 / 60;
    return uint32_t(std::min<int64_t>(ms, cap));
}

}  // namespace

LListPane::LListPane(LPane* owner, uint32_t selectionMode) : LPane(owner, owner) {
    fTrack.mode = selectionMode;
}

LListPane::~LListPane() = default;

uint32_t LListPane::InitialDelayMs() {
    plat::Backend* b = plat::CurrentBackend();
    return TicksToMs(b ? b->KeyRepeatDelayTicks() : 15, 1000);
}

uint32_t LListPane::RepeatDelayMs() {
    plat::Backend* b = plat::CurrentBackend();
    return TicksToMs(b ? b->KeyRepeatIntervalTicks() : 2, 500);
}

int32_t LListPane::FullyVisibleColumns() const {
    return std::max(Bounds().Width(), 0) / fCellWidth;
}
int32_t LListPane::FullyVisibleRows() const {
    return std::max(Bounds().Height(), 0) / fCellHeight;
}
int32_t LListPane::VisibleColumns() const {
    return (Bounds().Width() - 1 + fCellWidth) / fCellWidth;
}
int32_t LListPane::VisibleRows() const {
    return (Bounds().Height() - 1 + fCellHeight) / fCellHeight;
}
int32_t LListPane::LastFirstColumn() const {
    return std::max(fColumns - FullyVisibleColumns(), 0);
}
int32_t LListPane::LastFirstRow() const {
    return std::max(fRows - FullyVisibleRows(), 0);
}

CLPoint LListPane::ClampScrollPos(const CLPoint& p) const {
    const int32_t lastC = FullyVisibleColumns() == 0 ? std::max(fColumns, 1) - 1 : LastFirstColumn();
    const int32_t lastR = FullyVisibleRows() == 0 ? std::max(fRows, 1) - 1 : LastFirstRow();
    return {Clamp(p.x, 0, lastC), Clamp(p.y, 0, lastR)};
}

CLPoint LListPane::CellAt(const CLPoint& p) const {
    const CLRect& b = Bounds();
    auto div = [](int32_t a, int32_t d) { return a >= 0 ? a / d : -((-a + d - 1) / d); };
    return {div(p.x - b.left, fCellWidth) + fFirstColumn, div(p.y - b.top, fCellHeight) + fFirstRow};
}

CLPoint LListPane::NearestGap(const CLPoint& p) const {
    return CellAt({p.x + fCellWidth / 2, p.y + fCellHeight / 2});
}

CLRect LListPane::CellRect(const CLPoint& c) const {
    const CLRect& b = Bounds();
    const int32_t left = (c.x - fFirstColumn) * fCellWidth + b.left;
    const int32_t top = (c.y - fFirstRow) * fCellHeight + b.top;
    return {left, top, left + fCellWidth, top + fCellHeight};
}

CRgn LListPane::PixelsOfCells(const CRgn& cells) const {
    CRgn visible(CLRect{fFirstColumn, fFirstRow, fFirstColumn + VisibleColumns(), fFirstRow + VisibleRows()});
    visible &= cells;
    CRgn out;
    if (visible.IsEmpty()) return out;
    CArray<CLRect> rects;
    visible.GetRects(rects);
    for (const CLRect& r : rects) {
        CLRect px = CellRect({r.left, r.top});
        px.right = px.left + (r.right - r.left) * fCellWidth;
        px.bottom = px.top + (r.bottom - r.top) * fCellHeight;
        out |= CRgn(px);
    }
    out &= CRgn(Bounds());
    return out;
}

CLRect LListPane::GridExtent(int32_t fc, int32_t fr) const {
    const CLRect& b = Bounds();
    auto cx = [&](int64_t v) { return int32_t(std::clamp<int64_t>(v, b.left, b.right)); };
    auto cy = [&](int64_t v) { return int32_t(std::clamp<int64_t>(v, b.top, b.bottom)); };
    return {cx(b.left - int64_t(fc) * fCellWidth), cy(b.top - int64_t(fr) * fCellHeight),
            cx(b.left + int64_t(fColumns - fc) * fCellWidth), cy(b.top + int64_t(fRows - fr) * fCellHeight)};
}

void LListPane::SetScrollPos(int32_t fc, int32_t fr) {
    if (fc == fFirstColumn && fr == fFirstRow) return;
    CRgn redraw(GridExtent(fFirstColumn, fFirstRow));
    redraw |= CRgn(GridExtent(fc, fr));
    fFirstColumn = fc;
    fFirstRow = fr;
    InvalidateCells(redraw);
    Scrolled();
    SendChange();
}

void LListPane::RevealCell(const CLPoint& c) {
    const int32_t fvc = FullyVisibleColumns(), fvr = FullyVisibleRows();
    const bool inC = fFirstColumn <= c.x && c.x < fFirstColumn + fvc;
    const bool inR = fFirstRow <= c.y && c.y < fFirstRow + fvr;
    if (inC && inR) return;
    auto centre = [](int32_t index, int32_t full, int32_t count) {
        return Clamp(index - full / 2, 0, std::max(count - full, 0));
    };
    SetScrollPos(centre(c.x, fvc, fColumns), centre(c.y, fvr, fRows));
}

void LListPane::RevealSelection() {
    if (fSelection.IsEmpty()) return;
    CRgn visible(CLRect{fFirstColumn, fFirstRow, fFirstColumn + VisibleColumns(), fFirstRow + VisibleRows()});
    visible &= fSelection;
    if (!visible.IsEmpty()) return;
    const CLRect b = fSelection.bounds();
    RevealCell({b.left, b.top});
}

void LListPane::InvalidateSelection() {
    InvalidateCells(PixelsOfCells(fSelection));
}

void LListPane::InvalidateCells(const CRgn& pixels) {
    Invalidate(pixels, pixels);
}

void LListPane::CellSizeChanged(int32_t, int32_t) {
    InvalidateCells(CRgn(Bounds()));
}

void LListPane::SetSelection(const CRgn& cells) {
    CRgn sel = cells;
    sel &= CRgn(CLRect{0, 0, fColumns, fRows});
    CRgn changed = sel;
    changed ^= fSelection;
    if (changed.IsEmpty()) return;
    CRgn old = fSelection;
    fSelection = sel;
    SelectionChanged(changed, old);
    InvalidateCells(PixelsOfCells(changed));
    Dispatch(LMessage(LListPane_SelChange, this, Upper()));
}

void LListPane::ApplyTracked(const CRgn& cells) {
    CRgn sel = cells;
    sel &= CRgn(CLRect{0, 0, fColumns, fRows});
    if (sel == fSelection) return;
    SetSelection(sel);
}

void LListPane::ClearSelection() {
    SetSelection(CRgn());
}
void LListPane::SelectCell(const CLPoint& c) {
    SetSelection(CellRgn(c));
}
void LListPane::AddToSelection(const CLPoint& c) {
    CRgn s = fSelection;
    s |= CellRgn(c);
    SetSelection(s);
}
void LListPane::RemoveFromSelection(const CLPoint& c) {
    CRgn s = fSelection;
    s -= CellRgn(c);
    SetSelection(s);
}
bool LListPane::IsSelected(const CLPoint& c) const {
    return fSelection.Contain(CLRect{c.x, c.y, c.x + 1, c.y + 1});
}

bool LListPane::IsSingleCell(const CRgn& cells) {
    const CLRect b = cells.bounds();
    return !cells.IsEmpty() && b.Width() == 1 && b.Height() == 1;
}

CLPoint LListPane::FirstSelected() const {
    if (!IsSingleCell(fSelection)) return {-1, -1};
    const CLRect b = fSelection.bounds();
    return {b.left, b.top};
}

void LListPane::ClickSelect(const CLPoint& c, bool shift, bool command) {
    auto anchorFromBox = [&]() {
        const CLRect b = fSelection.bounds();
        if (fSelection.IsEmpty()) return c;
        if (c.y < b.top || c.x < b.left) return CLPoint{b.right - 1, b.bottom - 1};
        return CLPoint{b.left, b.top};
    };
    switch (fTrack.mode) {
        case kSelectMultiple: {
            const bool toggling = fTrack.toggleWithoutModifier || command;
            if (toggling) {
                fTrack.adding = 1;
                fTrack.addNotRemove = !IsSelected(c);
                fTrack.anchor = c;
            } else if (shift) {
                fTrack.adding = 0;
                fTrack.addNotRemove = 1;
                fTrack.anchor = anchorFromBox();
            } else {
                fTrack.adding = 0;
                fTrack.anchor = c;
            }
            break;
        }
        case kSelectRange:
            fTrack.anchor = shift ? anchorFromBox() : c;
            break;
        case kSelectSingle:
            fTrack.anchor = c;
            break;
        default:
            break;
    }
    ApplyTracked(ExtendSelection(c));
}

CRgn LListPane::ExtendSelection(const CLPoint& c) const {
    switch (fTrack.mode) {
        case kSelectMultiple: {
            const CRgn r = SpanRgn(fTrack.anchor, c);
            if (!fTrack.adding) return r;
            CRgn s = fSelection;
            if (fTrack.addNotRemove)
                s |= r;
            else
                s -= r;
            return s;
        }
        case kSelectRange:
            return SpanRgn(fTrack.anchor, c);
        case kSelectSingle:
            return CellRgn(c);
        default:
            return fSelection;
    }
}

CLPoint LListPane::MouseLocal() {
    LMouse* mouse = LMouse::Get();
    if (!mouse) return {};
    LPanePort port(this);
    CLPoint p = mouse->Location();
    if (port.window) {
        const plat::Point content = port.window->ConvertFromScreen({double(p.x), double(p.y)});
        p = {int32_t(content.x), int32_t(content.y)};
    }
    return {p.x - port.origin.x, p.y - port.origin.y};
}

CLPoint LListPane::AutoScrollDirection(const CLPoint& p) const {
    const CLRect& b = Bounds();
    CLPoint d{p.x < b.left ? -1 : p.x >= b.right ? 1 : 0, p.y < b.top ? -1 : p.y >= b.bottom ? 1 : 0};
    const CLPoint target = ClampScrollPos({fFirstColumn + d.x, fFirstRow + d.y});
    return {target.x - fFirstColumn, target.y - fFirstRow};
}

CLPoint LListPane::ClampedCellUnderMouse(const CLPoint& p) const {
    const CLPoint c = CellAt(p);
    return {Clamp(c.x, fFirstColumn, fFirstColumn + VisibleColumns() - 1),
            Clamp(c.y, fFirstRow, fFirstRow + VisibleRows() - 1)};
}

void LListPane::TrackStep(const CLPoint& p) {
    ApplyTracked(ExtendSelection(ClampedCellUnderMouse(p)));
}

LMessage LListPane::Handle(const LMessage& msg) {
    LMouse* mouse = LMouse::Get();
    const bool fromMouse = mouse && msg.sender == mouse;
    if (msg.Is(LMouse_Click) && fromMouse) {
        const CLPoint cell = CellAt(MouseLocal());
        fLastClicked = cell;
        ClickSelect(cell, mouse->IsShiftDown(), mouse->IsCommandDown());
        LHandlerWatch watch(this);
        Dispatch(LMessage(LPane_ReqFocus, this, Upper()));
        if (watch.IsGone()) return LMessage();
        Dispatch(LMessage(LPane_ReqCapture, this, Upper()));
        if (watch.IsGone()) return LMessage();
        return LMessage(LListPane_Clicked, this, Upper());
    }
    if (msg.Is(LMouse_Move) && fromMouse) {
        const CLPoint p = MouseLocal();
        const CLPoint d = AutoScrollDirection(p);
        if (d.x == 0 && d.y == 0) {
            fTimer.reset();
        } else if (!fTimer) {
            SetScrollPos(fFirstColumn + d.x, fFirstRow + d.y);
            fTimer = std::make_unique<LTimer>(this);
            fTimer->StartOnce(InitialDelayMs(), 0);
        }
        TrackStep(p);
        return LMessage();
    }
    if (msg.Is(LTimer_Expire) && fTimer && msg.sender == fTimer.get()) {
        fTimer->StartOnce(RepeatDelayMs(), 0);
        const CLPoint p = MouseLocal();
        const CLPoint d = AutoScrollDirection(p);
        if (d.x || d.y) {
            SetScrollPos(fFirstColumn + d.x, fFirstRow + d.y);
            TrackStep(p);
        }
        return LMessage();
    }
    if (msg.Is(LMouse_Release) && fromMouse) {
        fTimer.reset();
        return LMessage();
    }
    return LPane::Handle(msg);
}

void LListPane::FillPort(LPanePort& port) {
    LPane::FillPort(port);
    port.clip &= CRgn(CLRect{Bounds().left + port.origin.x, Bounds().top + port.origin.y,
                             Bounds().right + port.origin.x, Bounds().bottom + port.origin.y});
}

void LListPane::BoundsChanged(const CLRect& old) {
    if (!IsUsable()) return;
    LPanePort port(this);
    if (!port.window) {
        LPane::BoundsChanged(old);
        return;
    }
    CRgn redraw(old);
    if (old.left == Bounds().left && old.top == Bounds().top)
        redraw ^= CRgn(Bounds());
    else
        redraw |= CRgn(Bounds());
    if (Owner()) Owner()->Invalidate(redraw, redraw);
}

int32_t LListPane::PreferredWidth(LDrawContext&, int32_t kind) {
    return kind >= 0 ? fCellWidth : 0;
}

int32_t LListPane::PreferredHeight(LDrawContext&, int32_t kind) {
    return kind >= 0 ? fCellHeight : 0;
}

void LListPane::Draw(LDrawContext& ctx) {
    CRgn area = ctx.Clip();
    area &= CRgn(Bounds());
    if (area.IsEmpty()) return;
    LClipScope clip(ctx, area);
    const CLRect box = area.bounds();
    const CLPoint first = CellAt({box.left, box.top});
    const CLPoint last = CellAt({box.right - 1, box.bottom - 1});
    const bool plain = area == CRgn(box);
    for (int32_t r = std::max(first.y, fFirstRow); r <= last.y; ++r)
        for (int32_t c = std::max(first.x, fFirstColumn); c <= last.x; ++c) {
            const CLRect rect = CellRect({c, r});
            if (!plain) {
                CRgn meet(rect);
                meet &= area;
                if (meet.IsEmpty()) continue;
            }
            DrawCell(ctx, {c, r}, rect);
        }
}

void LListPane::SetCellSize(int32_t w, int32_t h) {
    w = std::max(w, 1);
    h = std::max(h, 1);
    if (w == fCellWidth && h == fCellHeight) return;
    fCellWidth = w;
    fCellHeight = h;
    CellSizeChanged(w, h);
    SendChange();
}

bool LListPane::InsertColumns(int32_t index, int32_t count) {
    if (count <= 0) return true;
    index = std::max(index, 0);
    const int64_t grown = int64_t(fColumns) + count + std::max<int64_t>(int64_t(index) - fColumns, 0);
    if (grown > INT32_MAX) return false;
    const CRgn moved = ShiftCells(fSelection, 0, index, count);
    fColumns = int32_t(grown);
    CellsInserted(0, index, count);
    CLRect area = Bounds();
    area.left = std::max(area.left, CellRect({index, 0}).left);
    if (!area.IsEmpty()) InvalidateCells(CRgn(area));
    SetSelection(moved);
    SendChange();
    return true;
}

bool LListPane::InsertRows(int32_t index, int32_t count) {
    if (count <= 0) return true;
    index = std::max(index, 0);
    const int64_t grown = int64_t(fRows) + count + std::max<int64_t>(int64_t(index) - fRows, 0);
    if (grown > INT32_MAX) return false;
    const CRgn moved = ShiftCells(fSelection, 1, index, count);
    fRows = int32_t(grown);
    CellsInserted(1, index, count);
    CLRect area = Bounds();
    area.top = std::max(area.top, CellRect({0, index}).top);
    if (!area.IsEmpty()) InvalidateCells(CRgn(area));
    SetSelection(moved);
    SendChange();
    return true;
}

void LListPane::RemoveColumns(int32_t index, int32_t count) {
    if (count <= 0 || index < 0 || index >= fColumns) return;
    count = std::min(count, fColumns - index);
    fColumns -= count;
    int32_t fc = fFirstColumn;
    if (fColumns <= fFirstColumn) {
        fc = std::max(fColumns, 1) - 1;
        InvalidateCells(CRgn(Bounds()));
    } else {
        CLRect area = Bounds();
        area.left = Bounds().left + std::max(index - fFirstColumn, 0) * fCellWidth;
        if (!area.IsEmpty()) InvalidateCells(CRgn(area));
    }
    CellsInserted(0, index, -count);
    SetSelection(ShiftCells(fSelection, 0, index, -count));
    if (fc == fFirstColumn)
        SendChange();
    else
        SetScrollPos(fc, fFirstRow);
}

void LListPane::RemoveRows(int32_t index, int32_t count) {
    if (count <= 0 || index < 0 || index >= fRows) return;
    count = std::min(count, fRows - index);
    fRows -= count;
    int32_t fr = fFirstRow;
    if (fRows <= fFirstRow) {
        fr = std::max(fRows, 1) - 1;
        InvalidateCells(CRgn(Bounds()));
    } else {
        CLRect area = Bounds();
        area.top = Bounds().top + std::max(index - fFirstRow, 0) * fCellHeight;
        if (!area.IsEmpty()) InvalidateCells(CRgn(area));
    }
    CellsInserted(1, index, -count);
    SetSelection(ShiftCells(fSelection, 1, index, -count));
    if (fr == fFirstRow)
        SendChange();
    else
        SetScrollPos(fFirstColumn, fr);
}

void LListPane::SetGridSize(int32_t columns, int32_t rows) {
    columns = std::max(columns, 0);
    rows = std::max(rows, 0);
    if (columns > fColumns) (void)InsertColumns(fColumns, columns - fColumns);
    if (rows > fRows) (void)InsertRows(fRows, rows - fRows);
    if (columns < fColumns) RemoveColumns(columns, fColumns - columns);
    if (rows < fRows) RemoveRows(rows, fRows - rows);
}
