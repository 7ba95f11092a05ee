#include "Lib3/LSources/CoreUI/CBevelFrame.h"

#include "Lib3/LSources/CoreUI/LPaint.h"

namespace {

void FillRect(LDrawContext& ctx, const CLRect& rect, const LColor& colour) {
    LPaint(CRgn(rect), colour).Fill(ctx);
}

}  // namespace

void CBevelFrame::Draw(LDrawContext& ctx) const {
    const int32_t l = fRect.left, t = fRect.top, r = fRect.right, b = fRect.bottom;
    FillRect(ctx, CLRect{l, t, r, t + 1}, fFirst);
    FillRect(ctx, CLRect{l, t + 1, l + 1, b - 1}, fFirst);
    FillRect(ctx, CLRect{l, b - 1, r, b}, fSecond);
    FillRect(ctx, CLRect{r - 1, t + 1, r, b - 1}, fSecond);
}
