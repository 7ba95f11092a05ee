#include "Melquor/MelquorText.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>

namespace {

// Cuts at most kMaxTextBytes of valid UTF-8.
std::string BoundedText(const std::string& text) {
    gchar* valid = g_utf8_make_valid(text.data(), gssize(std::min(text.size(), MelquorText::kMaxTextBytes)));
    std::string out(valid);
    g_free(valid);
    return out;
}

double BoundedSize(double size) {
    if (!std::isfinite(size)) return size > 0 ? MelquorText::kMaxSize : 12;
    return std::clamp(size, 1.0, MelquorText::kMaxSize);
}

}  // namespace

std::shared_ptr<MelquorText> MelquorText::Create(const Settings& settings) {
    std::shared_ptr<MelquorText> text(new MelquorText);
    PangoFontMap* map = pango_cairo_font_map_get_default();
    PangoContext* context = map ? pango_font_map_create_context(map) : nullptr;
    if (!context) return nullptr;
    if (settings.vertical) {
        pango_context_set_base_gravity(context, PANGO_GRAVITY_EAST);
        pango_context_set_gravity_hint(context, PANGO_GRAVITY_HINT_NATURAL);
    }
    text->fLayout = pango_layout_new(context);
    g_object_unref(context);
    if (!text->fLayout) return nullptr;
    text->fVertical = settings.vertical;

    // A family fontconfig does not know falls back to its default sans font; the other settings stay.
    PangoFontDescription* font = pango_font_description_new();
    pango_font_description_set_family(font, settings.font.empty() ? "sans" : settings.font.c_str());
    pango_font_description_set_absolute_size(font, BoundedSize(settings.size) * PANGO_SCALE);
    pango_layout_set_font_description(text->fLayout, font);
    pango_font_description_free(font);
    if (settings.width > 0) {
        pango_layout_set_width(text->fLayout, int(std::min(settings.width, kMaxWidth)) * PANGO_SCALE);
        pango_layout_set_wrap(text->fLayout, PANGO_WRAP_WORD_CHAR);
    }
    std::string bounded = BoundedText(settings.text);
    pango_layout_set_text(text->fLayout, bounded.data(), int(bounded.size()));

    if (bounded.empty()) return text;
    for (GSList* l = pango_layout_get_lines_readonly(text->fLayout); l; l = l->next) {
        PangoRectangle ink, logical;
        pango_layout_line_get_extents(static_cast<PangoLayoutLine*>(l->data), &ink, &logical);
        MelquorLineMetrics m;
        m.ascent = -double(logical.y) / PANGO_SCALE;
        m.descent = double(logical.height + logical.y) / PANGO_SCALE;
        m.width = double(logical.width) / PANGO_SCALE;
        m.inkX = double(ink.x) / PANGO_SCALE;
        m.inkWidth = double(ink.width) / PANGO_SCALE;
        text->fLines.push_back(m);
    }
    return text;
}

MelquorText::~MelquorText() {
    if (fLayout) g_object_unref(fLayout);
}

void MelquorText::DrawLine(void* cairo, size_t i) const {
    std::lock_guard lock(fMutex);
    PangoLayoutLine* line = pango_layout_get_line_readonly(fLayout, int(i));
    if (line) pango_cairo_show_layout_line(static_cast<cairo_t*>(cairo), line);
}

std::vector<double> MelquorLineOffsets(const std::vector<MelquorLineMetrics>& lines, double L) {
    std::vector<double> offsets;
    offsets.reserve(lines.size());
    double y = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        const MelquorLineMetrics& m = lines[i];
        if (i == 0) {
            offsets.push_back(0);
            y += m.ascent + L * (m.descent + m.leading);
        } else {
            offsets.push_back(y + (L - 1) * m.ascent);
            y += L * (m.ascent + m.descent + m.leading);
        }
    }
    return offsets;
}
