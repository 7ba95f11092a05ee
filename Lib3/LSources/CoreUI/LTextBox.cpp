#include "Lib3/LSources/CoreUI/LTextBox.h"

#include <cmath>
#include <cstring>

#include "Lib3/LSources/CoreUI/CLRectConvert.h"
#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Platform/Graphics/DrawContext.h"
#include "Platform/Graphics/Font.h"
#include "Platform/Graphics/Text.h"

LTextBox::~LTextBox() {
    plat::Release(fFont);
}

bool LTextBox::SetText(const LString& text) {
    if (text == fText) return false;
    fText = text;
    fValid = false;
    return true;
}

bool LTextBox::SetStyle(const LTextStyleH& style) {
    if (Equal(style, fStyle)) return false;
    fStyle = style;
    fValid = false;
    return true;
}

bool LTextBox::SetColor(const LColor& colour) {
    if (colour.IsSame(fColor)) return false;
    fColor = colour;
    fValid = false;
    return true;
}

bool LTextBox::SetAlignment(uint32_t alignment) {
    if (alignment == fAlign) return false;
    fAlign = alignment;
    fValid = false;
    return true;
}

bool LTextBox::SetMode(uint32_t mode) {
    if (mode == fMode) return false;
    fMode = mode;
    fValid = false;
    return true;
}

void LTextBox::Layout() {
    plat::Font* font = fStyle.Font();
    if (font != fFont || !fColor.IsSame(fLaidColor)) fValid = false;
    if (fValid) return;
    plat::Retain(font);
    plat::Release(fFont);
    fFont = font;
    fLaidColor = fColor;
    fLineHeight = font->LineHeight();
    fLineBottom = fLineHeight;
    fDescent = fLineBottom - font->Ascent();
    fWidth = kUnset;
    fValid = true;
}

int32_t LTextBox::Width() {
    Layout();
    if (fWidth == kUnset) fWidth = WidthOf(fText.CStr());
    return fWidth;
}

int32_t LTextBox::WidthOf(const char* text) {
    Layout();
    return static_cast<int32_t>(std::ceil(plat::TextWidth(*fFont, text, std::strlen(text))));
}

int32_t LTextBox::HeightForWidth(int32_t width) {
    Layout();
    return static_cast<int32_t>(
        std::ceil(plat::TextHeightForWidth(*fFont, fText.CStr(), fText.Length(), width)));
}

int32_t LTextBox::LineHeight() {
    Layout();
    return static_cast<int32_t>(std::ceil(fLineHeight));
}

int32_t LTextBox::LineBottom() {
    Layout();
    return static_cast<int32_t>(std::ceil(fLineBottom));
}

int32_t LTextBox::Descent() {
    Layout();
    return static_cast<int32_t>(std::floor(fDescent));
}

int32_t LTextBox::Ascent() {
    Layout();
    return static_cast<int32_t>(std::ceil(fFont->Ascent()));
}

uint32_t LTextBox::CountLineBreaks(const LString& text) {
    const char* s = text.CStr();
    uint32_t n = text.Length(), breaks = 0;
    for (uint32_t i = 0; i < n; ++i) {
        if (s[i] == '\n') {
            ++breaks;
        } else if (s[i] == '\r') {
            ++breaks;
            if (i + 1 < n && s[i + 1] == '\n') ++i;
        }
    }
    return breaks;
}

int32_t LTextBox::TextHeight() {
    return LineHeight() * static_cast<int32_t>(1 + CountLineBreaks(fText));
}

void LTextBox::Draw(LDrawContext& ctx) {
    if (fText.IsEmpty()) return;
    Layout();
    ctx.ApplyPending();
    plat::DrawContext* native = ctx.Native();
    if (!native) return;
    plat::TextDrawSpec spec;
    spec.box = ToPlatRect(fRect);
    spec.align = fAlign == kCenter  ? plat::TextAlign::kCenter
                 : fAlign == kRight ? plat::TextAlign::kRight
                                    : plat::TextAlign::kLeft;
    spec.colour = LDrawContext::NativeColor(fColor);
    if (fMode == kMultiLine || fMode == kWrapped) {
        spec.wrap = fMode == kWrapped;
    } else {
        spec.singleLine = true;
        // Both one-line modes start the line at the top: its baseline lies one ascent below.
        spec.baseline = fRect.top + std::ceil(fFont->Ascent());
    }
    plat::GStateScope state(*native);
    plat::DrawText(*native, *fFont, fText.CStr(), fText.Length(), spec);
}
