#include "Lib3/LSources/CoreUI/LRectFrame.h"

#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LPaint.h"
#include "Platform/Graphics/DrawContext.h"

void LRectFrame::Draw(LDrawContext& ctx) const {
    CLRect inner = rect;
    inner.Inset(penWidth, penHeight);
    CRgn outline(rect);
    outline -= CRgn(inner);
    LPaint(outline, colour, mode).Fill(ctx);
}

void LRoundRectStroke::Draw(LDrawContext& ctx) const {
    ctx.ApplyPending();
    plat::DrawContext* n = ctx.Native();
    if (!n) return;
    n->SetStrokeColor(LDrawContext::NativeColor(colour));
    ctx.MarkColorChanged();
    plat::GStateScope state(*n);
    double l = rect.left, t = rect.top, r = rect.right, b = rect.bottom;
    double cw = cornerWidth / 2, ch = cornerHeight / 2;
    n->BeginPath();
    n->MoveTo(l + cw, t);
    n->LineTo(r - cw, t);
    n->QuadTo(r, t, r, t + ch);
    n->LineTo(r, b - ch);
    n->QuadTo(r, b, r - cw, b);
    n->LineTo(l + cw, b);
    n->QuadTo(l, b, l, b - ch);
    n->LineTo(l, t + ch);
    n->QuadTo(l, t, l + cw, t);
    n->ClosePath();
    n->SetLineWidth((penWidth + penHeight) / 2);
    n->StrokePath();
}
