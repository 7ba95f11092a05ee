#include "Lib3/LSources/CoreUI/LTextPane.h"

#include "Lib3/LSources/CoreUI/LDrawContext.h"

LTextPane::LTextPane(LPane* owner, uint32_t lineMode) : LTextPane(owner, owner, lineMode) {}

LTextPane::LTextPane(LHandler* upper, LPane* owner, uint32_t lineMode) : LPane(upper, owner) {
    fBox.SetMode(lineMode);
    ChangeState(kLock);
}

void LTextPane::Redraw() {
    if (!IsVisible()) return;
    CRgn area(Bounds());
    Invalidate(area, area);
}

void LTextPane::SetWrapMode(uint32_t mode) {
    if (fBox.SetMode(mode)) Redraw();
}

void LTextPane::SetAlignment(uint32_t alignment) {
    if (fBox.SetAlignment(alignment)) Redraw();
}

void LTextPane::SetTextColor(const LColorSpec& colour) {
    if (colour == fColor) return;
    fColor = colour;
    Redraw();
}

bool LTextPane::SetTextStyle(const LTextStyleH& style) {
    if (!fBox.SetStyle(style)) return false;
    Redraw();
    return true;
}

bool LTextPane::SetText(const LString& text) {
    if (!fBox.SetText(text)) return false;
    Redraw();
    return true;
}

void LTextPane::StateChanged(uint32_t op) {
    LPane::StateChanged(op);
    if (op == kRelayout) fBox.InvalidateLayout();
}

void LTextPane::BoundsChanged(const CLRect& old) {
    LPane::BoundsChanged(old);
    fBox.SetRect(Bounds());
}

int32_t LTextPane::PreferredWidth(LDrawContext&, int32_t hint) {
    if (hint == -13) return fBox.WidthOf("M");
    if (hint == -11) return 0;
    return fBox.Width();
}

int32_t LTextPane::PreferredHeight(LDrawContext&, int32_t hint) {
    bool multi = fBox.Mode() == LTextBox::kMultiLine || fBox.Mode() == LTextBox::kWrapped;
    switch (hint) {
        case -12:
        case -10:
            return fBox.Ascent();
        case -11:
            return 0;
        case -1:
            return fBox.LineHeight();
        default:
            break;
    }
    if (hint >= 1 && fBox.Mode() == LTextBox::kWrapped) return fBox.HeightForWidth(hint);
    return multi ? fBox.TextHeight() : fBox.LineHeight();
}

void LTextPane::Draw(LDrawContext& ctx) {
    LClipScope clip(ctx, Bounds());
    fBox.SetColor(fColor.Resolve());
    fBox.Draw(ctx);
}
