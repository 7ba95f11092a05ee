#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "Platform/Foundation/Geometry.h"
#include "Platform/Graphics/GraphicsTypes.h"

typedef struct _PangoLayout PangoLayout;

namespace plat {

class DrawContext;
class Font;

// One paragraph of UTF-8 text laid out in a font, wrapped at a width or not: its size, where a
// byte offset stands, the offset nearest a point, and the caret stops and words as Pango finds
// them (grapheme clusters, word bounds). Offsets are byte offsets into the paragraph; the text
// must be valid UTF-8 without line breaks. Main thread (takes the Pango lock).
class TextLayout {
public:
    // wrapWidth <= 0: no wrapping.
    TextLayout(const Font& font, std::string_view text, double wrapWidth);
    ~TextLayout();
    TextLayout(const TextLayout&) = delete;
    TextLayout& operator=(const TextLayout&) = delete;

    const std::string& Text() const { return fText; }
    double Width() const { return fWidth; }
    double Height() const { return fHeight; }

    // The caret before the offset: x, top of its line, 0 width, the line's height.
    Rect CaretRect(size_t offset) const;
    // The caret stop nearest the point (paragraph coordinates; outside lines clamp to the first or last).
    size_t OffsetAt(Point p) const;
    // The start and end of the wrapped line holding the offset.
    size_t LineStart(size_t offset) const;
    size_t LineEnd(size_t offset) const;

    size_t PreviousCaretStop(size_t offset) const;
    size_t NextCaretStop(size_t offset) const;
    // Backspace: one code point where the script deletes by character, else a cluster.
    size_t BackspaceStop(size_t offset) const;
    size_t PreviousWordStart(size_t offset) const;
    size_t NextWordEnd(size_t offset) const;
    // The word (or the run of non-word characters) around the offset.
    void WordAt(size_t offset, size_t& start, size_t& end) const;

    // Draws the paragraph with its top-left at origin.
    void Draw(DrawContext& ctx, Point origin, const GfxColor& colour) const;

private:
    size_t CharIndex(size_t offset) const;
    size_t ByteOffset(size_t charIndex) const;

    std::string fText;
    PangoLayout* fLayout = nullptr;
    double fWidth = 0;
    double fHeight = 0;
};

}  // namespace plat
