#include "Platform/Graphics/TextLayout.h"

#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <climits>
#include <mutex>

#include "Platform/Graphics/DrawContext.h"
#include "Platform/Graphics/Font.h"
#include "Platform/Graphics/PangoShared.h"

namespace plat {

namespace {

double Units(int v) {
    return double(v) / PANGO_SCALE;
}

int ToUnits(double v) {
    double u = v * PANGO_SCALE;
    if (u > INT_MAX / 2) return INT_MAX / 2;
    if (u < -(INT_MAX / 2)) return -(INT_MAX / 2);
    return int(u);
}

const PangoLogAttr* Attrs(PangoLayout* layout, int& n) {
    return pango_layout_get_log_attrs_readonly(layout, &n);
}

}  // namespace

TextLayout::TextLayout(const Font& font, std::string_view text, double wrapWidth) : fText(text) {
    std::lock_guard<std::mutex> lock(pango::Lock());
    fLayout = pango_layout_new(pango::MeasuringContext());
    pango_layout_set_font_description(fLayout, font.Description());
    pango_layout_set_single_paragraph_mode(fLayout, TRUE);
    double units = wrapWidth * PANGO_SCALE;
    if (units >= 1 && units < 2147483647.0) {
        pango_layout_set_width(fLayout, int(units));
        pango_layout_set_wrap(fLayout, PANGO_WRAP_WORD_CHAR);
    }
    pango_layout_set_text(fLayout, fText.data(), int(fText.size()));
    PangoRectangle logical;
    pango_layout_get_extents(fLayout, nullptr, &logical);
    fWidth = Units(logical.width);
    fHeight = Units(logical.height);
    if (fHeight <= 0) fHeight = font.LineHeight();
}

TextLayout::~TextLayout() {
    std::lock_guard<std::mutex> lock(pango::Lock());
    g_object_unref(fLayout);
}

size_t TextLayout::CharIndex(size_t offset) const {
    offset = std::min(offset, fText.size());
    return size_t(g_utf8_pointer_to_offset(fText.data(), fText.data() + offset));
}

size_t TextLayout::ByteOffset(size_t charIndex) const {
    return size_t(g_utf8_offset_to_pointer(fText.data(), glong(charIndex)) - fText.data());
}

Rect TextLayout::CaretRect(size_t offset) const {
    std::lock_guard<std::mutex> lock(pango::Lock());
    PangoRectangle strong;
    pango_layout_get_cursor_pos(fLayout, int(std::min(offset, fText.size())), &strong, nullptr);
    return {Units(strong.x), Units(strong.y), 0, Units(strong.height)};
}

size_t TextLayout::OffsetAt(Point p) const {
    std::lock_guard<std::mutex> lock(pango::Lock());
    int index = 0, trailing = 0;
    double y = std::clamp(p.y, 0.0, std::max(0.0, fHeight - 0.5));
    pango_layout_xy_to_index(fLayout, ToUnits(p.x), ToUnits(y), &index, &trailing);
    const char* at = fText.data() + index;
    for (int i = 0; i < trailing && size_t(at - fText.data()) < fText.size(); ++i) at = g_utf8_next_char(at);
    size_t offset = std::min(size_t(at - fText.data()), fText.size());
    // Land on a caret stop.
    int n = 0;
    const PangoLogAttr* attrs = Attrs(fLayout, n);
    size_t ci = CharIndex(offset);
    while (ci > 0 && ci < size_t(n) && !attrs[ci].is_cursor_position) --ci;
    return ByteOffset(ci);
}

size_t TextLayout::LineStart(size_t offset) const {
    std::lock_guard<std::mutex> lock(pango::Lock());
    int line = 0, x = 0;
    pango_layout_index_to_line_x(fLayout, int(std::min(offset, fText.size())), FALSE, &line, &x);
    PangoLayoutLine* l = pango_layout_get_line_readonly(fLayout, line);
    return l ? size_t(l->start_index) : 0;
}

size_t TextLayout::LineEnd(size_t offset) const {
    std::lock_guard<std::mutex> lock(pango::Lock());
    int line = 0, x = 0;
    pango_layout_index_to_line_x(fLayout, int(std::min(offset, fText.size())), FALSE, &line, &x);
    PangoLayoutLine* l = pango_layout_get_line_readonly(fLayout, line);
    if (!l) return fText.size();
    size_t end = size_t(l->start_index + l->length);
    // A wrapped line ends before its trailing blank, so the caret stays on the line.
    if (line + 1 < pango_layout_get_line_count(fLayout) && end > size_t(l->start_index) &&
        fText[end - 1] == ' ')
        --end;
    return std::min(end, fText.size());
}

size_t TextLayout::PreviousCaretStop(size_t offset) const {
    std::lock_guard<std::mutex> lock(pango::Lock());
    int n = 0;
    const PangoLogAttr* attrs = Attrs(fLayout, n);
    size_t ci = CharIndex(offset);
    while (ci > 0) {
        --ci;
        if (ci < size_t(n) && attrs[ci].is_cursor_position) break;
    }
    return ByteOffset(ci);
}

size_t TextLayout::NextCaretStop(size_t offset) const {
    std::lock_guard<std::mutex> lock(pango::Lock());
    int n = 0;
    const PangoLogAttr* attrs = Attrs(fLayout, n);
    size_t last = size_t(n) - 1;  // n is the character count + 1
    size_t ci = CharIndex(offset);
    while (ci < last) {
        ++ci;
        if (attrs[ci].is_cursor_position) break;
    }
    return ByteOffset(ci);
}

size_t TextLayout::BackspaceStop(size_t offset) const {
    size_t prev = PreviousCaretStop(offset);
    std::lock_guard<std::mutex> lock(pango::Lock());
    int n = 0;
    const PangoLogAttr* attrs = Attrs(fLayout, n);
    size_t ci = CharIndex(offset);
    if (ci > 0 && ci < size_t(n) && attrs[ci].backspace_deletes_character)
        return size_t(g_utf8_prev_char(fText.data() + std::min(offset, fText.size())) - fText.data());
    return prev;
}

size_t TextLayout::PreviousWordStart(size_t offset) const {
    std::lock_guard<std::mutex> lock(pango::Lock());
    int n = 0;
    const PangoLogAttr* attrs = Attrs(fLayout, n);
    size_t ci = CharIndex(offset);
    while (ci > 0) {
        --ci;
        if (attrs[ci].is_word_start) break;
    }
    return ByteOffset(ci);
}

size_t TextLayout::NextWordEnd(size_t offset) const {
    std::lock_guard<std::mutex> lock(pango::Lock());
    int n = 0;
    const PangoLogAttr* attrs = Attrs(fLayout, n);
    size_t last = size_t(n) - 1;
    size_t ci = CharIndex(offset);
    while (ci < last) {
        ++ci;
        if (attrs[ci].is_word_end) break;
    }
    return ByteOffset(ci);
}

void TextLayout::WordAt(size_t offset, size_t& start, size_t& end) const {
    std::lock_guard<std::mutex> lock(pango::Lock());
    int n = 0;
    const PangoLogAttr* attrs = Attrs(fLayout, n);
    size_t last = size_t(n) - 1;
    size_t ci = std::min(CharIndex(offset), last);
    bool inWord = false;
    // Inside a word: from its start to its end; elsewhere one caret stop.
    size_t s = ci, e = ci;
    auto wordAt = [&](size_t i) {
        // A character i is within a word when a word start lies at or before it with no end between.
        size_t j = i;
        while (true) {
            if (attrs[j].is_word_start) return true;
            if (j == 0 || attrs[j].is_word_end) return false;
            --j;
        }
    };
    inWord = ci < last && wordAt(ci);
    if (inWord) {
        while (s > 0 && !attrs[s].is_word_start) --s;
        e = ci + 1;
        while (e < last && !attrs[e].is_word_end) ++e;
    } else {
        e = ci + 1;
        while (e < last && !attrs[e].is_cursor_position) ++e;
        if (ci >= last) {
            s = last;
            e = last;
        }
    }
    start = ByteOffset(s);
    end = ByteOffset(std::min(e, last));
}

void TextLayout::Draw(DrawContext& ctx, Point origin, const GfxColor& colour) const {
    cairo_t* cr = ctx.Cairo();
    std::lock_guard<std::mutex> lock(pango::Lock());
    cairo_save(cr);
    cairo_set_source_rgba(cr, colour.red, colour.green, colour.blue, colour.alpha);
    cairo_move_to(cr, origin.x, origin.y);
    pango_cairo_show_layout(cr, fLayout);
    cairo_restore(cr);
}

}  // namespace plat
