#include "Lib3/LSources/CoreUI/LPaneListLayout.h"

#include "Lib3/LSources/CoreData/LSLinkBase.h"
#include "Lib3/LSources/CoreUI/LPane.h"

uint32_t LPaneListLayout::CountPanes() const {
    return fChildren.Count();
}

LPane* LPaneListLayout::Pane(uint32_t n) const {
    return n ? static_cast<LPane*>(fChildren[n - 1]) : nullptr;
}

SLayoutRect LPaneListLayout::PaneBounds(uint32_t n) const {
    const LPane* pane = Pane(n);
    if (!pane) return {};
    const CLRect& b = pane->Bounds();
    return {b.left, b.top, b.right, b.bottom};
}

void LPaneListLayout::SetPaneBounds(uint32_t n, const SLayoutRect& bounds) {
    if (LPane* pane = Pane(n)) pane->SetBounds(CLRect{bounds.left, bounds.top, bounds.right, bounds.bottom});
}

bool LPaneListLayout::PaneVisible(uint32_t n) const {
    const LPane* pane = Pane(n);
    return pane && (pane->State() & LPane::kShown);
}

int32_t LPaneListLayout::PanePreferredWidth(uint32_t n, int32_t extent) {
    LPane* pane = Pane(n);
    return pane ? pane->PreferredWidth(fCtx, extent) : 0;
}

int32_t LPaneListLayout::PanePreferredHeight(uint32_t n, int32_t extent) {
    LPane* pane = Pane(n);
    return pane ? pane->PreferredHeight(fCtx, extent) : 0;
}
