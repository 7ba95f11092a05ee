#include "Lib3/LSources/CoreUI/CTextGridPane.h"

#include <string>

#include "Lib3/LSources/CoreUI/LColorSpec.h"
#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LPaint.h"

namespace {
constexpr uint32_t kSelectionColour = 3;
constexpr int32_t kWidthOfM = -13;
}  // namespace

CTextGridPane::CTextGridPane(LPane* owner, uint32_t selectionMode) : LListPane(owner, selectionMode) {
    UpdateMetrics();
}

void CTextGridPane::UpdateMetrics() {
    fInset = static_cast<uint32_t>(fDrawer.WidthOf(" "));
    SetCellSize(CellWidth(), fDrawer.LineHeight());
}

void CTextGridPane::SetTextStyle(const LTextStyleH& style) {
    if (!fDrawer.SetStyle(style)) return;
    UpdateMetrics();
}

void CTextGridPane::SetAlignment(uint32_t alignment) {
    if (fDrawer.SetAlignment(alignment)) RedrawAll();
}

void CTextGridPane::SetBaseline(uint32_t y) {
    if (y == fBaseline) return;
    fBaseline = y;
    RedrawAll();
}

void CTextGridPane::SetBackground(const LColor& colour) {
    if (colour.IsSame(fBackground)) return;
    fBackground = colour;
    RedrawAll();
}

void CTextGridPane::StateChanged(uint32_t op) {
    LListPane::StateChanged(op);
    const uint32_t s = State();
    switch (op) {
        case kRelayout:
            fDrawer.InvalidateLayout();
            UpdateMetrics();
            RedrawAll();
            break;
        case kEnable:
        case kDisable:
            if (s & kChainEnabled) InvalidateSelection();
            break;
        case kChainEnable:
        case kChainDisable:
            if (s & kEnabled) InvalidateSelection();
            break;
        default:
            break;
    }
}

void CTextGridPane::InvalidateCells(const CRgn& pixels) {
    Invalidate(pixels, fBackground.Data() ? CRgn() : pixels);
}

LString CTextGridPane::GetCellText(const CLPoint&, bool& dim) {
    dim = false;
    return LString();
}

void CTextGridPane::DrawCell(LDrawContext& ctx, const CLPoint& cell, const CLRect& r) {
    LClipScope clip(ctx, r);
    const bool selected = IsSelected(cell);
    bool dim = false;
    const LString text = GetCellText(cell, dim);
    if (selected)
        LPaint(CRgn(r), LColor::System(kSelectionColour)).Fill(ctx);
    else if (fBackground.Data())
        LPaint(CRgn(r), fBackground).Fill(ctx);
    if (text.IsEmpty()) return;
    const int32_t top = fBaseline ? r.top + int32_t(fBaseline) - fDrawer.Ascent() : r.top;
    fDrawer.SetText(text);
    fDrawer.SetMode(LTextBox::kOneLine);
    fDrawer.SetColor(LColorSpec::MakeIndexed(selected ? 1 : dim ? 2 : 0).Resolve());
    fDrawer.SetRect({r.left + int32_t(fInset), top, r.right, top + fDrawer.LineHeight()});
    fDrawer.Draw(ctx);
}

int32_t CNumberGridPane::PreferredWidth(LDrawContext& ctx, int32_t kind) {
    if (kind == kWidthOfM) return Drawer().WidthOf("M");
    return CTextGridPane::PreferredWidth(ctx, kind);
}

LString CNumberGridPane::GetCellText(const CLPoint& cell, bool& dim) {
    dim = false;
    if (cell.x < 0 || cell.y < 0 || cell.x >= Columns() || cell.y >= Rows()) return LString();
    const int32_t n = (Columns() >= Rows() ? cell.x : cell.y) + 1;
    return LString(std::to_string(n).c_str());
}
