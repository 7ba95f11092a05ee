#include "Lib3/LSources/CoreUI/LPaint.h"

#include <vector>

#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Platform/Graphics/DrawContext.h"

namespace {
plat::BlendMode Blend(uint32_t mode) {
    switch (mode) {
        case LPaint::kDifference:
            return plat::BlendMode::kDifference;
        case LPaint::kMultiply:
            return plat::BlendMode::kMultiply;
        case LPaint::kScreen:
            return plat::BlendMode::kScreen;
        default:
            return plat::BlendMode::kNormal;
    }
}
}  // namespace

void LPaint::Fill(LDrawContext& ctx) const {
    ctx.ApplyPending();
    plat::DrawContext* native = ctx.Native();
    if (!native) return;
    native->SetFillColor(LDrawContext::NativeColor(colour));
    ctx.MarkColorChanged();  // the context's own colour comes back before the next drawing
    plat::GStateScope state(*native);
    native->SetBlendMode(Blend(mode));
    if (!region.IsEmpty()) {
        std::vector<plat::Rect> rects;
        region.GetCGRects(rects);
        native->FillRects(rects.data(), static_cast<uint32_t>(rects.size()));
    }
    native->SetBlendMode(plat::BlendMode::kNormal);
}
