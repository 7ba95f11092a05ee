#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/CoreUI/CLRect.h"
#include "Lib3/LSources/CoreUI/LColor.h"
#include "Lib3/LSources/CoreUI/LTextStyle.h"

namespace plat {
class Font;
}
class LDrawContext;

// Text measured and drawn in a style, colour, alignment and line mode: 0 one line on the baseline,
// 1 multi-line, 2 word-wrapped, 3 one line from the top. Metrics are cached until a setting changes.
class LTextBox {
public:
    enum : uint32_t { kOneLine = 0, kMultiLine = 1, kWrapped = 2, kTopLine = 3 };
    enum : uint32_t { kLeft = 0, kCenter = 1, kRight = 2 };
    static constexpr int32_t kUnset = INT32_MIN;

    LTextBox() = default;
    ~LTextBox();
    LTextBox(const LTextBox&) = delete;
    LTextBox& operator=(const LTextBox&) = delete;

    // Each setter answers whether the value changed.
    bool SetText(const LString& text);
    bool SetStyle(const LTextStyleH& style);
    bool SetColor(const LColor& colour);
    bool SetAlignment(uint32_t alignment);
    bool SetMode(uint32_t mode);
    void SetRect(const CLRect& rect) { fRect = rect; }
    void InvalidateLayout() { fValid = false; }

    const LString& Text() const { return fText; }
    const LTextStyleH& Style() const { return fStyle; }
    const LColor& Color() const { return fColor; }
    uint32_t Alignment() const { return fAlign; }
    uint32_t Mode() const { return fMode; }
    const CLRect& Rect() const { return fRect; }

    // Whole pixels: widths and heights rounded up, the descent down.
    int32_t Width();
    int32_t WidthOf(const char* text);
    int32_t HeightForWidth(int32_t width);
    int32_t LineHeight();
    int32_t LineBottom();
    int32_t Descent();
    int32_t Ascent();
    // The line height times the number of lines (LF, CR and CR LF each break once).
    int32_t TextHeight();
    static uint32_t CountLineBreaks(const LString& text);

    void Draw(LDrawContext& ctx);

private:
    void Layout();

    LString fText;
    LColor fColor;
    CLRect fRect;
    LTextStyleH fStyle;
    uint32_t fAlign = kLeft;
    uint32_t fMode = kOneLine;
    int32_t fUnused = -1;
    bool fValid = false;
    int32_t fWidth = kUnset;
    double fLineHeight = 0;
    double fLineBottom = 0;
    double fDescent = 0;
    plat::Font* fFont = nullptr;  // retained; the one the layout was made with
    LColor fLaidColor;
};
