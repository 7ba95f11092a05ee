#include "Platform/Graphics/Text.h"

#include <cairo.h>
#include <pango/pangocairo.h>

#include <string>

#include "Platform/Graphics/DrawContext.h"
#include "Platform/Graphics/Font.h"
#include "Platform/Graphics/PangoShared.h"

namespace plat {

namespace pango {

namespace {
cairo_font_options_t* Options() {
    static cairo_font_options_t* options = [] {
        cairo_font_options_t* o = cairo_font_options_create();
        cairo_font_options_set_hint_metrics(o, CAIRO_HINT_METRICS_OFF);
        cairo_font_options_set_hint_style(o, CAIRO_HINT_STYLE_NONE);
        cairo_font_options_set_antialias(o, CAIRO_ANTIALIAS_GRAY);
        return o;
    }();
    return options;
}

void Configure(PangoContext* ctx) {
    pango_cairo_context_set_font_options(ctx, Options());
    pango_context_set_round_glyph_positions(ctx, FALSE);
}
}  // namespace

std::mutex& Lock() {
    static std::mutex m;
    return m;
}

PangoFontMap* FontMap() {
    static PangoFontMap* map = [] {
        PangoFontMap* m = pango_cairo_font_map_new();
        pango_cairo_font_map_set_resolution(PANGO_CAIRO_FONT_MAP(m), 72.0);
        return m;
    }();
    return map;
}

PangoContext* MeasuringContext() {
    static PangoContext* ctx = [] {
        PangoContext* c = pango_font_map_create_context(FontMap());
        Configure(c);
        return c;
    }();
    return ctx;
}

PangoContext* CreateDrawingContext(cairo_t* cr) {
    PangoContext* c = pango_font_map_create_context(FontMap());
    Configure(c);
    pango_cairo_update_context(cr, c);
    return c;
}

}  // namespace pango

namespace {

// Pango wants valid UTF-8; invalid bytes become replacement characters.
std::string Valid(const char* text, size_t length) {
    if (!text) return std::string();
    if (g_utf8_validate(text, static_cast<gssize>(length), nullptr)) return std::string(text, length);
    gchar* fixed = g_utf8_make_valid(text, static_cast<gssize>(length));
    std::string s(fixed);
    g_free(fixed);
    return s;
}

PangoLayout* MakeLayout(PangoContext* ctx, const Font& font, const std::string& text) {
    PangoLayout* layout = pango_layout_new(ctx);
    pango_layout_set_font_description(layout, font.Description());
    pango_layout_set_text(layout, text.data(), static_cast<int>(text.size()));
    return layout;
}

// A wrap width in Pango units; -1 (no wrapping) for widths Pango cannot hold.
int WrapWidth(double width) {
    double units = width * PANGO_SCALE;
    if (!(units >= 1) || units >= 2147483647.0) return -1;
    return static_cast<int>(units);
}

double Units(int v) {
    return static_cast<double>(v) / PANGO_SCALE;
}

}  // namespace

double TextWidth(const Font& font, const char* text, size_t length) {
    std::string s = Valid(text, length);
    if (s.empty()) return 0;
    std::lock_guard<std::mutex> lock(pango::Lock());
    PangoLayout* layout = MakeLayout(pango::MeasuringContext(), font, s);
    PangoRectangle logical;
    pango_layout_get_extents(layout, nullptr, &logical);
    g_object_unref(layout);
    return Units(logical.width);
}

double TextHeightForWidth(const Font& font, const char* text, size_t length, double width) {
    std::string s = Valid(text, length);
    std::lock_guard<std::mutex> lock(pango::Lock());
    PangoLayout* layout = MakeLayout(pango::MeasuringContext(), font, s);
    if (WrapWidth(width) > 0) {
        pango_layout_set_width(layout, WrapWidth(width));
        pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
    }
    PangoRectangle logical;
    pango_layout_get_extents(layout, nullptr, &logical);
    g_object_unref(layout);
    return Units(logical.height);
}

void DrawText(DrawContext& ctx, const Font& font, const char* text, size_t length, const TextDrawSpec& spec) {
    std::string s = Valid(text, length);
    if (s.empty()) return;
    cairo_t* cr = ctx.Cairo();
    std::lock_guard<std::mutex> lock(pango::Lock());
    PangoContext* pc = pango::CreateDrawingContext(cr);
    PangoLayout* layout = MakeLayout(pc, font, s);
    if (spec.singleLine) pango_layout_set_single_paragraph_mode(layout, TRUE);
    if (spec.wrap && !spec.singleLine && WrapWidth(spec.box.width) > 0) {
        pango_layout_set_width(layout, WrapWidth(spec.box.width));
        pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
    }

    cairo_save(cr);
    cairo_rectangle(cr, spec.box.x, spec.singleLine ? -1e7 : spec.box.y, spec.box.width, 2e7);
    cairo_clip(cr);
    cairo_set_source_rgba(cr, spec.colour.red, spec.colour.green, spec.colour.blue, spec.colour.alpha);
    double top = spec.box.y;
    PangoLayoutIter* it = pango_layout_get_iter(layout);
    if (spec.singleLine) top = spec.baseline - Units(pango_layout_iter_get_baseline(it));
    do {
        PangoLayoutLine* line = pango_layout_iter_get_line_readonly(it);
        PangoRectangle logical;
        pango_layout_iter_get_line_extents(it, nullptr, &logical);
        double slack = spec.box.width - Units(logical.width);
        double x = spec.box.x - Units(logical.x);
        if (spec.align == TextAlign::kCenter) x += slack / 2;
        if (spec.align == TextAlign::kRight) x += slack;
        double y = top + Units(pango_layout_iter_get_baseline(it));
        cairo_save(cr);
        cairo_translate(cr, x, y);
        if (font.SyntheticSlant()) {
            cairo_matrix_t shear;
            cairo_matrix_init(&shear, 1, 0, -0.25, 1, 0, 0);
            cairo_transform(cr, &shear);
        }
        cairo_move_to(cr, 0, 0);
        pango_cairo_show_layout_line(cr, line);
        cairo_restore(cr);
    } while (pango_layout_iter_next_line(it));
    pango_layout_iter_free(it);
    cairo_restore(cr);
    g_object_unref(layout);
    g_object_unref(pc);
}

}  // namespace plat
