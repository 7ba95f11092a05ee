#include "Platform/Graphics/DrawContext.h"

#include <cairo.h>

#include <cstring>

#include "Platform/Graphics/BitmapImage.h"
#include "Platform/Graphics/Layer.h"

namespace plat {

namespace {
constexpr int32_t kMaxSide = 32768;

void AddRects(cairo_t* cr, const Rect* rects, uint32_t count) {
    cairo_new_path(cr);
    for (uint32_t i = 0; i < count; ++i)
        if (!rects[i].IsEmpty()) cairo_rectangle(cr, rects[i].x, rects[i].y, rects[i].width, rects[i].height);
}

void SetSource(cairo_t* cr, const GfxColor& c) {
    cairo_set_source_rgba(cr, c.red, c.green, c.blue, c.alpha);
}
}  // namespace

Ref<DrawContext> DrawContext::CreateImage(int32_t width, int32_t height) {
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return nullptr;
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(s);
        return nullptr;
    }
    Ref<DrawContext> ctx = Adopt(new DrawContext(s));
    cairo_surface_destroy(s);
    return ctx;
}

Ref<DrawContext> DrawContext::CreateForSurface(cairo_surface_t* surface) {
    if (!surface || cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) return nullptr;
    return Adopt(new DrawContext(surface));
}

DrawContext::DrawContext(cairo_surface_t* surface)
    : fSurface(cairo_surface_reference(surface)), fCairo(cairo_create(surface)) {
    cairo_set_line_width(fCairo, 1);
    cairo_set_antialias(fCairo, CAIRO_ANTIALIAS_DEFAULT);
}

DrawContext::~DrawContext() {
    cairo_destroy(fCairo);
    cairo_surface_destroy(fSurface);
}

void DrawContext::SaveGState() {
    cairo_save(fCairo);
    ++fDepth;
}

void DrawContext::RestoreGState() {
    if (fDepth == 0) return;  // unbalanced restores are ignored, as Cairo would fail the context
    cairo_restore(fCairo);
    --fDepth;
}

void DrawContext::TranslateCTM(double dx, double dy) {
    cairo_translate(fCairo, dx, dy);
}

void DrawContext::ScaleCTM(double sx, double sy) {
    if (sx == 0 || sy == 0) return;  // a singular matrix would put the context in an error state
    cairo_scale(fCairo, sx, sy);
}

GfxMatrix DrawContext::CTM() const {
    cairo_matrix_t m;
    cairo_get_matrix(fCairo, &m);
    return {m.xx, m.yx, m.xy, m.yy, m.x0, m.y0};
}

void DrawContext::SetCTM(const GfxMatrix& g) {
    cairo_matrix_t m;
    cairo_matrix_init(&m, g.xx, g.yx, g.xy, g.yy, g.x0, g.y0);
    if (cairo_matrix_invert(&m) != CAIRO_STATUS_SUCCESS) return;  // singular: keep the current one
    cairo_matrix_init(&m, g.xx, g.yx, g.xy, g.yy, g.x0, g.y0);
    cairo_set_matrix(fCairo, &m);
}

void DrawContext::ResetClip() {
    cairo_reset_clip(fCairo);
}

void DrawContext::ClipToRects(const Rect* rects, uint32_t count) {
    AddRects(fCairo, rects, count);
    cairo_rectangle(fCairo, 0, 0, 0, 0);  // keeps an all-empty set from leaving the clip unchanged
    cairo_clip(fCairo);
}

void DrawContext::FillRects(const Rect* rects, uint32_t count) {
    if (!count) return;
    AddRects(fCairo, rects, count);
    SetSource(fCairo, fFill);
    cairo_fill(fCairo);
}

void DrawContext::SetBlendMode(BlendMode mode) {
    cairo_operator_t op = CAIRO_OPERATOR_OVER;
    switch (mode) {
        case BlendMode::kNormal:
            break;
        case BlendMode::kDifference:
            op = CAIRO_OPERATOR_DIFFERENCE;
            break;
        case BlendMode::kMultiply:
            op = CAIRO_OPERATOR_MULTIPLY;
            break;
        case BlendMode::kScreen:
            op = CAIRO_OPERATOR_SCREEN;
            break;
    }
    cairo_set_operator(fCairo, op);
}

void DrawContext::SetLineWidth(double width) {
    cairo_set_line_width(fCairo, width);
}

void DrawContext::BeginPath() {
    cairo_new_path(fCairo);
}
void DrawContext::MoveTo(double x, double y) {
    cairo_move_to(fCairo, x, y);
}
void DrawContext::LineTo(double x, double y) {
    cairo_line_to(fCairo, x, y);
}

void DrawContext::QuadTo(double cx, double cy, double x, double y) {
    double x0 = x, y0 = y;
    if (cairo_has_current_point(fCairo)) cairo_get_current_point(fCairo, &x0, &y0);
    cairo_curve_to(fCairo, x0 + 2.0 / 3 * (cx - x0), y0 + 2.0 / 3 * (cy - y0), x + 2.0 / 3 * (cx - x),
                   y + 2.0 / 3 * (cy - y), x, y);
}

void DrawContext::ClosePath() {
    cairo_close_path(fCairo);
}

void DrawContext::StrokePath() {
    SetSource(fCairo, fStroke);
    cairo_stroke(fCairo);
}

void DrawContext::FillPath() {
    SetSource(fCairo, fFill);
    cairo_fill(fCairo);
}

namespace {
void PaintSurface(cairo_t* cr, const Rect& rect, cairo_surface_t* s, int32_t w, int32_t h) {
    if (!s || w <= 0 || h <= 0 || rect.IsEmpty()) return;
    cairo_save(cr);
    cairo_translate(cr, rect.x, rect.y);
    cairo_scale(cr, rect.width / w, rect.height / h);
    cairo_set_source_surface(cr, s, 0, 0);
    cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
    cairo_rectangle(cr, 0, 0, w, h);
    cairo_fill(cr);
    cairo_restore(cr);
}
}  // namespace

void DrawContext::DrawImage(const Rect& rect, const BitmapImage* image) {
    if (image) PaintSurface(fCairo, rect, image->Surface(), image->Width(), image->Height());
}

void DrawContext::DrawLayer(const Rect& rect, const Layer* layer) {
    if (!layer) return;
    cairo_surface_flush(layer->Context()->Surface());
    PaintSurface(fCairo, rect, layer->Context()->Surface(), layer->Width(), layer->Height());
}

int32_t DrawContext::Width() const {
    return cairo_surface_get_type(fSurface) == CAIRO_SURFACE_TYPE_IMAGE
               ? cairo_image_surface_get_width(fSurface)
               : 0;
}

int32_t DrawContext::Height() const {
    return cairo_surface_get_type(fSurface) == CAIRO_SURFACE_TYPE_IMAGE
               ? cairo_image_surface_get_height(fSurface)
               : 0;
}

void DrawContext::SetDeviceScale(double scale) {
    if (scale > 0) cairo_surface_set_device_scale(fSurface, scale, scale);
}

double DrawContext::DeviceScale() const {
    double x = 1, y = 1;
    cairo_surface_get_device_scale(fSurface, &x, &y);
    return x;
}

uint32_t DrawContext::PixelAt(int32_t x, int32_t y) {
    if (cairo_surface_get_type(fSurface) != CAIRO_SURFACE_TYPE_IMAGE) return 0;
    if (x < 0 || y < 0 || x >= Width() || y >= Height()) return 0;
    cairo_surface_flush(fSurface);
    const uint8_t* data = cairo_image_surface_get_data(fSurface);
    uint32_t w;
    std::memcpy(&w, data + y * cairo_image_surface_get_stride(fSurface) + x * 4, 4);
    if (cairo_image_surface_get_format(fSurface) == CAIRO_FORMAT_RGB24) w |= 0xFF000000u;
    return w;
}

bool DrawContext::WritePNG(const char* path) {
    cairo_surface_flush(fSurface);
    return cairo_surface_write_to_png(fSurface, path) == CAIRO_STATUS_SUCCESS;
}

}  // namespace plat
