#pragma once

#include <cstddef>
#include <cstdint>

#include "Platform/Graphics/GraphicsTypes.h"

namespace plat {

class DrawContext;
class Font;

enum class TextAlign : uint8_t { kLeft, kCenter, kRight };

// How DrawText places UTF-8 text. Lines break at LF, CR and CR LF.
struct TextDrawSpec {
    Rect box;
    TextAlign align = TextAlign::kLeft;
    // Word-wraps at the box width; otherwise lines are clipped at the box's sides.
    bool wrap = false;
    // One line whose baseline lies at `baseline` (line breaks are drawn as glyphs); otherwise the
    // lines run down from the box's top.
    bool singleLine = false;
    double baseline = 0;
    GfxColor colour;
};

// Width of the widest line, unwrapped.
double TextWidth(const Font& font, const char* text, size_t length);
// Height of the text word-wrapped at the width.
double TextHeightForWidth(const Font& font, const char* text, size_t length, double width);
void DrawText(DrawContext& ctx, const Font& font, const char* text, size_t length, const TextDrawSpec& spec);

}  // namespace plat
