#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreUI/LColor.h"
#include "Lib3/LSources/CoreUI/LImage.h"
#include "Lib3/LSources/CoreUI/LPane.h"

// A level meter: a value 0..maximum lights a part of the pane, from the bottom up in a pane taller
// than wide, else from the left. With images, the "on" image shows over the lit part and the "off"
// image over the rest; without, the lit part is filled with a colour (green unless set). The first
// `inset` pixels are always lit. Main thread.
class CLevelMeter : public LPane {
public:
    static constexpr uint32_t kDefaultMaximum = 10;

    explicit CLevelMeter(LPane* upper);

    // Images replace the fill colour.
    void SetImages(const LImageH& off, const LImageH& on, uint32_t inset);
    void SetFillColor(const LColor& colour);
    void SetMaximum(uint32_t maximum);
    // Clamped to 0..maximum; a change redraws only between the old and the new lit extent.
    void SetValue(uint32_t value);
    uint32_t Value() const { return fValue; }
    uint32_t Maximum() const { return fMaximum; }
    uint32_t Inset() const { return fInset; }

    // The lit rectangle for a value (in the pane's coordinates).
    CLRect LitRect(uint32_t value) const;

    // The off image's size with images, else 8 × 8.
    int32_t PreferredWidth(LDrawContext& ctx, int32_t kind) override;
    int32_t PreferredHeight(LDrawContext& ctx, int32_t kind) override;
    void Draw(LDrawContext& ctx) override;

private:
    bool HasImages() const { return !fOff.IsEmpty() || !fOn.IsEmpty(); }

    LImageH fOff;
    LImageH fOn;
    LColor fFill;
    uint32_t fInset = 0;
    uint32_t fMaximum = kDefaultMaximum;
    uint32_t fValue = 0;
};
