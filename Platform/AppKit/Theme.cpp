#include "Platform/AppKit/Theme.h"

#include <algorithm>
#include <cmath>

#include "Platform/Graphics/DrawContext.h"
#include "Platform/Graphics/Font.h"
#include "Platform/Graphics/Text.h"

namespace plat::theme {

namespace {

void RoundRectPath(DrawContext& ctx, const Rect& r, double radius) {
    radius = std::min({radius, r.width / 2, r.height / 2});
    const double x0 = r.x, y0 = r.y, x1 = r.MaxX(), y1 = r.MaxY();
    ctx.BeginPath();
    ctx.MoveTo(x0 + radius, y0);
    ctx.LineTo(x1 - radius, y0);
    ctx.QuadTo(x1, y0, x1, y0 + radius);
    ctx.LineTo(x1, y1 - radius);
    ctx.QuadTo(x1, y1, x1 - radius, y1);
    ctx.LineTo(x0 + radius, y1);
    ctx.QuadTo(x0, y1, x0, y1 - radius);
    ctx.LineTo(x0, y0 + radius);
    ctx.QuadTo(x0, y0, x0 + radius, y0);
    ctx.ClosePath();
}

GfxColor Dim(GfxColor c) {
    c.red = c.red + (1 - c.red) * 0.5;
    c.green = c.green + (1 - c.green) * 0.5;
    c.blue = c.blue + (1 - c.blue) * 0.5;
    return c;
}

void FillAndStroke(DrawContext& ctx, const GfxColor& fill, const GfxColor& stroke) {
    ctx.SetFillColor(fill);
    ctx.FillPath();
    ctx.SetStrokeColor(stroke);
    ctx.SetLineWidth(1);
    ctx.StrokePath();
}

Rect Inset(const Rect& r, double d) {
    return {r.x + d, r.y + d, std::max(0.0, r.width - 2 * d), std::max(0.0, r.height - 2 * d)};
}

}  // namespace

const Palette& Colours() {
    static const Palette palette;
    return palette;
}

double Metric(int32_t id) {
    switch (id) {
        case 41:
            return 21;  // horizontal slider height
        case 45:
            return 21;  // vertical slider width
        default:
            return 0;
    }
}

void DrawBezel(DrawContext& ctx, const Rect& r, BezelState state, bool rounded) {
    const Palette& p = Colours();
    GStateScope g(ctx);
    RoundRectPath(ctx, Inset(r, 0.5), rounded ? 5 : 2);
    switch (state) {
        case BezelState::kNormal:
            FillAndStroke(ctx, p.face, p.border);
            break;
        case BezelState::kPressed:
            FillAndStroke(ctx, p.facePressed, p.border);
            break;
        case BezelState::kDefault:
            FillAndStroke(ctx, p.accent, p.accent);
            break;
        case BezelState::kDisabled:
            FillAndStroke(ctx, Dim(p.face), Dim(p.border));
            break;
    }
}

void DrawCheckBox(DrawContext& ctx, const Rect& box, bool on, bool pressed, bool enabled) {
    const Palette& p = Colours();
    GStateScope g(ctx);
    RoundRectPath(ctx, Inset(box, 0.5), 3);
    GfxColor fill = on ? p.accent : pressed ? p.facePressed : p.field;
    GfxColor stroke = on ? p.accent : p.border;
    if (!enabled) {
        fill = Dim(fill);
        stroke = Dim(stroke);
    }
    FillAndStroke(ctx, fill, stroke);
    if (on) {
        ctx.SetStrokeColor(enabled ? p.accentText : Dim(p.accentText));
        ctx.SetLineWidth(2);
        ctx.BeginPath();
        ctx.MoveTo(box.x + box.width * 0.22, box.y + box.height * 0.52);
        ctx.LineTo(box.x + box.width * 0.42, box.y + box.height * 0.74);
        ctx.LineTo(box.x + box.width * 0.78, box.y + box.height * 0.28);
        ctx.StrokePath();
    }
}

void DrawRadio(DrawContext& ctx, const Rect& box, bool on, bool pressed, bool enabled) {
    const Palette& p = Colours();
    GStateScope g(ctx);
    const Rect r = Inset(box, 0.5);
    RoundRectPath(ctx, r, r.width / 2);
    GfxColor fill = on ? p.accent : pressed ? p.facePressed : p.field;
    GfxColor stroke = on ? p.accent : p.border;
    if (!enabled) {
        fill = Dim(fill);
        stroke = Dim(stroke);
    }
    FillAndStroke(ctx, fill, stroke);
    if (on) {
        const Rect dot = Inset(box, box.width * 0.32);
        RoundRectPath(ctx, dot, dot.width / 2);
        ctx.SetFillColor(enabled ? p.accentText : Dim(p.accentText));
        ctx.FillPath();
    }
}

void DrawArrow(DrawContext& ctx, const Rect& r, int32_t direction, bool pressed, bool enabled) {
    const Palette& p = Colours();
    GStateScope g(ctx);
    if (pressed) {
        ctx.SetFillColor(p.facePressed);
        ctx.FillRect(r);
    }
    const double cx = r.x + r.width / 2, cy = r.y + r.height / 2;
    const double s = std::min(r.width, r.height) * 0.22;
    ctx.BeginPath();
    switch (direction) {
        case 0:
            ctx.MoveTo(cx - s, cy + s / 2);
            ctx.LineTo(cx + s, cy + s / 2);
            ctx.LineTo(cx, cy - s / 2);
            break;
        case 1:
            ctx.MoveTo(cx - s, cy - s / 2);
            ctx.LineTo(cx + s, cy - s / 2);
            ctx.LineTo(cx, cy + s / 2);
            break;
        case 2:
            ctx.MoveTo(cx + s / 2, cy - s);
            ctx.LineTo(cx + s / 2, cy + s);
            ctx.LineTo(cx - s / 2, cy);
            break;
        default:
            ctx.MoveTo(cx - s / 2, cy - s);
            ctx.LineTo(cx - s / 2, cy + s);
            ctx.LineTo(cx + s / 2, cy);
            break;
    }
    ctx.ClosePath();
    ctx.SetFillColor(enabled ? p.mark : Dim(p.mark));
    ctx.FillPath();
}

void DrawPopUpArrows(DrawContext& ctx, const Rect& r, bool enabled) {
    const double h = r.height / 2;
    DrawArrow(ctx, {r.x, r.y + h * 0.25, r.width, h}, 0, false, enabled);
    DrawArrow(ctx, {r.x, r.y + h * 0.75, r.width, h}, 1, false, enabled);
}

void DrawTrack(DrawContext& ctx, const Rect& r) {
    GStateScope g(ctx);
    RoundRectPath(ctx, r, std::min(r.width, r.height) / 2);
    ctx.SetFillColor(Colours().track);
    ctx.FillPath();
}

void DrawKnob(DrawContext& ctx, const Rect& r, bool pressed, bool enabled) {
    const Palette& p = Colours();
    GStateScope g(ctx);
    RoundRectPath(ctx, Inset(r, 0.5), std::min(r.width, r.height) / 2);
    GfxColor fill = pressed ? p.mark : p.knob;
    if (!enabled) fill = Dim(fill);
    FillAndStroke(ctx, fill, enabled ? p.border : Dim(p.border));
}

void DrawSeparator(DrawContext& ctx, const Rect& r, bool vertical, double thickness) {
    GStateScope g(ctx);
    ctx.SetFillColor(Colours().separator);
    if (vertical)
        ctx.FillRect({r.x + std::floor((r.width - thickness) / 2), r.y, thickness, r.height});
    else
        ctx.FillRect({r.x, r.y + std::floor((r.height - thickness) / 2), r.width, thickness});
}

void DrawFieldFrame(DrawContext& ctx, const Rect& r, bool focused) {
    const Palette& p = Colours();
    GStateScope g(ctx);
    ctx.BeginPath();
    const Rect i = Inset(r, 0.5);
    ctx.MoveTo(i.x, i.y);
    ctx.LineTo(i.MaxX(), i.y);
    ctx.LineTo(i.MaxX(), i.MaxY());
    ctx.LineTo(i.x, i.MaxY());
    ctx.ClosePath();
    FillAndStroke(ctx, p.field, p.border);
    if (focused) DrawFocusRing(ctx, r);
}

void DrawListBoxFrame(DrawContext& ctx, const Rect& r, bool active, bool focused) {
    const Palette& p = Colours();
    {
        GStateScope g(ctx);
        ctx.SetStrokeColor(active ? p.border : p.separator);
        ctx.SetLineWidth(1);
        const Rect i = Inset(r, 0.5);
        ctx.BeginPath();
        ctx.MoveTo(i.x, i.y);
        ctx.LineTo(i.MaxX(), i.y);
        ctx.LineTo(i.MaxX(), i.MaxY());
        ctx.LineTo(i.x, i.MaxY());
        ctx.ClosePath();
        ctx.StrokePath();
    }
    if (focused) DrawFocusRing(ctx, r);
}

void DrawFocusRing(DrawContext& ctx, const Rect& r) {
    GStateScope g(ctx);
    RoundRectPath(ctx, Inset(r, 1), 3);
    ctx.SetStrokeColor(Colours().focus);
    ctx.SetLineWidth(2);
    ctx.StrokePath();
}

void DrawLabel(DrawContext& ctx, const Font& font, const std::string& text, const Rect& box, int32_t align,
               const GfxColor& colour) {
    if (text.empty()) return;
    TextDrawSpec spec;
    spec.box = box;
    spec.align = align == 1 ? TextAlign::kCenter : align == 2 ? TextAlign::kRight : TextAlign::kLeft;
    spec.singleLine = true;
    spec.baseline = box.y + (box.height - font.LineHeight()) / 2 + font.Ascent();
    spec.colour = colour;
    DrawText(ctx, font, text.data(), text.size(), spec);
}

}  // namespace plat::theme
