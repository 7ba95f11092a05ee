#include "Orbilume/CSources/SoundUI/CLevelMeter.h"

#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LPaint.h"

namespace {

// inset + round(span × value / maximum), span ≥ 0.
int32_t Extent(int32_t span, uint32_t inset, uint32_t value, uint32_t maximum) {
    if (maximum < 1 || span <= int32_t(inset)) return span < int32_t(inset) ? span : int32_t(inset);
    const int64_t rest = int64_t(span) - inset;
    return int32_t(inset + (2 * rest * value + maximum) / (2 * int64_t(maximum)));
}

}  // namespace

CLevelMeter::CLevelMeter(LPane* upper) : LPane(upper, upper), fFill(LRGB(0, 255, 0), 0) {}

void CLevelMeter::SetImages(const LImageH& off, const LImageH& on, uint32_t inset) {
    fOff = off;
    fOn = on;
    fInset = inset;
    if (IsVisible()) Invalidate(CRgn(Bounds()), CRgn());
}

void CLevelMeter::SetFillColor(const LColor& colour) {
    fFill = colour;
    if (IsVisible() && !HasImages()) Invalidate(CRgn(LitRect(fValue)), CRgn());
}

void CLevelMeter::SetMaximum(uint32_t maximum) {
    fMaximum = maximum;
    if (fValue > fMaximum) fValue = fMaximum;
    if (IsVisible()) Invalidate(CRgn(Bounds()), CRgn(Bounds()));
}

CLRect CLevelMeter::LitRect(uint32_t value) const {
    CLRect r = Bounds();
    const int32_t width = r.right - r.left, height = r.bottom - r.top;
    if (height > width) {
        r.top = r.bottom - Extent(height, fInset, value, fMaximum);
    } else {
        r.right = r.left + Extent(width, fInset, value, fMaximum);
    }
    return r;
}

void CLevelMeter::SetValue(uint32_t value) {
    if (value > fMaximum) value = fMaximum;
    if (value == fValue) return;
    const CLRect before = LitRect(fValue);
    fValue = value;
    if (!IsVisible()) return;
    const CLRect after = LitRect(fValue);
    CRgn changed(before);
    changed ^= CRgn(after);
    if (changed.IsEmpty()) return;
    // In colour mode the part that goes dark shows the background again.
    CRgn erase;
    if (!HasImages()) {
        erase = CRgn(before);
        erase -= CRgn(after);
    }
    Invalidate(changed, erase);
}

int32_t CLevelMeter::PreferredWidth(LDrawContext&, int32_t) {
    return HasImages() ? fOff.GetSize().width : 8;
}

int32_t CLevelMeter::PreferredHeight(LDrawContext&, int32_t) {
    return HasImages() ? fOff.GetSize().height : 8;
}

void CLevelMeter::Draw(LDrawContext& ctx) {
    const CLRect lit = LitRect(fValue);
    if (!HasImages()) {
        if (!lit.IsEmpty()) LPaint(CRgn(lit), fFill).Fill(ctx);
        return;
    }
    CRgn rest(Bounds());
    rest -= CRgn(lit);
    if (!lit.IsEmpty()) {
        LClipScope clip(ctx, lit);
        fOn->Draw(ctx, Bounds());
    }
    if (!rest.IsEmpty()) {
        LClipScope clip(ctx, rest);
        fOff->Draw(ctx, Bounds());
    }
}
