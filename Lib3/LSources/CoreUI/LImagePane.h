#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreUI/LImage.h"
#include "Lib3/LSources/CoreUI/LPane.h"

// A pane showing one image: stretched to its bounds (mode 0), centred at its own size (mode 1) or
// scaled to the largest fit of its proportions (mode 2). It ignores the mouse (state bit 4).
class LImagePane : public LPane {
public:
    enum : uint32_t { kStretch = 0, kCenter = 1, kFit = 2 };

    explicit LImagePane(LPane* upper);

    int32_t PreferredWidth(LDrawContext& ctx, int32_t kind) override;
    int32_t PreferredHeight(LDrawContext& ctx, int32_t kind) override;
    void Draw(LDrawContext& ctx) override;

    CLRect PlacementRect() const { return PlacementRect(fImage); }
    void SetImage(const LImageH& image);
    const LImageH& Image() const { return fImage; }
    void SetPlacement(uint32_t mode) { fPlacement = mode; }
    uint32_t Placement() const { return fPlacement; }

private:
    CLRect PlacementRect(const LImageH& image) const;

    uint32_t fPlacement = kStretch;
    LImageH fImage;
};
