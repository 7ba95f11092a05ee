#include "Lib3/LSources/CoreUI/LPolyline.h"

#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Platform/Graphics/DrawContext.h"

void LPolyline::Draw(LDrawContext& ctx) const {
    if (points.Count() < 2) return;
    ctx.ApplyPending();
    plat::DrawContext* n = ctx.Native();
    if (!n) return;
    plat::GfxColor c = LDrawContext::NativeColor(colour);
    n->SetFillColor(c);
    n->SetStrokeColor(c);
    ctx.MarkColorChanged();
    plat::GStateScope state(*n);
    n->SetLineWidth(lineWidth);
    n->BeginPath();
    n->MoveTo(points[0].x, points[0].y);
    for (uint32_t i = 1; i < points.Count(); ++i) n->LineTo(points[i].x, points[i].y);
    if (fill == 1)
        n->FillPath();
    else
        n->StrokePath();
}
