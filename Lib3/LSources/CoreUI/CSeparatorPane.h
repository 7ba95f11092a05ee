#pragma once

#include "Lib3/LSources/CoreUI/LPane.h"

// A theme separator line across its bounds: horizontal when wider than high, else vertical. It
// prefers a thickness of 1, or 2 with thick lines.
class CSeparatorPane : public LPane {
public:
    explicit CSeparatorPane(LPane* owner);

    int32_t PreferredWidth(LDrawContext& ctx, int32_t kind) override;
    int32_t PreferredHeight(LDrawContext& ctx, int32_t kind) override;
    void Draw(LDrawContext& ctx) override;

    // Process-wide: doubles the line width (the system-information flag the application reads).
    static void SetThickLines(bool on);
    static int32_t Thickness();
};
