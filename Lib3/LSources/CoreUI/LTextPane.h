#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreUI/LColorSpec.h"
#include "Lib3/LSources/CoreUI/LPane.h"
#include "Lib3/LSources/CoreUI/LTextBox.h"

// A static text label: the text box of the pane's bounds, drawn in the colour specification's
// colour. Redraws only when an attribute really changes. It ignores the mouse (state bit 4).
//
// Preferred width hints: -13 the width of "M", -11 0, any other the text's one-line width.
// Preferred height hints: -12 and -10 the ascent, -11 0, -1 the line height, 0 the line height (modes
// 0 and 3) or the text height (modes 1 and 2), a positive hint in mode 2 the height wrapped at that
// width, others the text height (modes 1 and 2) or the line height.
class LTextPane : public LPane {
public:
    LTextPane(LPane* owner, uint32_t lineMode);

    void SetWrapMode(uint32_t mode);
    void SetAlignment(uint32_t alignment);
    void SetTextColor(const LColorSpec& colour);
    bool SetTextStyle(const LTextStyleH& style);
    bool SetText(const LString& text);

    const LString& Text() const { return fBox.Text(); }
    const LColorSpec& TextColor() const { return fColor; }
    LTextBox& Box() { return fBox; }

    void StateChanged(uint32_t op) override;
    void BoundsChanged(const CLRect& old) override;
    int32_t PreferredWidth(LDrawContext& ctx, int32_t hint) override;
    int32_t PreferredHeight(LDrawContext& ctx, int32_t hint) override;
    void Draw(LDrawContext& ctx) override;

protected:
    // A label whose messages go to upper rather than to its owner.
    LTextPane(LHandler* upper, LPane* owner, uint32_t lineMode);
    // Changes the colour without invalidating anything.
    void SetTextColorQuietly(const LColorSpec& colour) { fColor = colour; }

private:
    void Redraw();

    LColorSpec fColor;
    LTextBox fBox;
};
