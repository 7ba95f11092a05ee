#include "Lib3/LSources/CoreUI/UDropHighlight.h"

#include "Lib3/LSources/CoreUI/LPaint.h"

namespace {

int32_t Saturate(int64_t v) {
    return v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : static_cast<int32_t>(v);
}

}  // namespace

CRgn UDropHighlight::Ring(const CLRect& rect, int32_t thickness) {
    const int64_t inset = int64_t{thickness} * 4 - 2;
    const CLRect inner{Saturate(rect.left + inset), Saturate(rect.top + inset), Saturate(rect.right - inset),
                       Saturate(rect.bottom - inset)};
    CRgn ring(rect);
    ring ^= CRgn(inner);
    return ring;
}

void UDropHighlight::Draw(LDrawContext& ctx, const CLRect& rect, int32_t thickness, const LColor& colour) {
    LPaint(Ring(rect, thickness), colour).Fill(ctx);
}
