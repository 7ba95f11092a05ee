#include "Lib3/LSources/CoreUI/LPaneBorder.h"

#include "Common/Rgn/CRgn.h"
#include "Lib3/LSources/CoreUI/LPaint.h"

namespace {
constexpr uint32_t kShownEnabled = 7;

int32_t Grow(uint32_t w) {
    return w > 0x7FFFFFFF ? INT32_MIN : -static_cast<int32_t>(w);
}
}  // namespace

CRgn LPaneBorder::Ring(const CLRect& r, uint32_t w) {
    CLRect outer = r;
    outer.Inset(Grow(w), Grow(w));
    CRgn ring(outer);
    ring -= CRgn(r);
    return ring;
}

void LPaneBorder::AddFrameRgn(const CLRect& bounds, uint32_t state, CRgn& first, CRgn& second) const {
    if ((state & kShownEnabled) != kShownEnabled) return;
    CRgn ring = Ring(bounds, Width());
    first |= ring;
    second |= ring;
}

void LPaneBorder::Draw(LDrawContext& ctx, const CLRect& bounds, uint32_t state) const {
    if ((state & kShownEnabled) != kShownEnabled) return;
    LPaint(Ring(bounds, Width()), LColor::System(5)).Fill(ctx);
}

CRgn FrameRingRegion(const LPaneBorder& shape, const CLRect& rect) {
    uint32_t w = shape.Width();
    CLRect outer = rect, inner = rect;
    outer.Inset(Grow(w), Grow(w));
    inner.Inset(1, 1);
    CRgn ring(outer);
    ring ^= CRgn(inner);
    return ring;
}

bool FrameRingContains(const LPaneBorder& shape, const CRgn& region, const CLRect& rect) {
    CLRect r = rect;
    uint32_t w = shape.Width();
    if (w > 0) r.Inset(Grow(w), Grow(w));
    return region.Contain(r);
}
