#pragma once

#include <cstdint>

#include "Common/Rgn/CRgn.h"
#include "Lib3/LSources/CoreUI/LColor.h"

class LDrawContext;

// Fills a region with a colour and a blend mode: 1 difference, 2 multiply, 3 screen, any other
// value normal.
class LPaint {
public:
    enum : uint32_t { kNormal = 0, kDifference = 1, kMultiply = 2, kScreen = 3 };

    LPaint() = default;
    LPaint(const CRgn& region, const LColor& colour, uint32_t mode = kNormal)
        : region(region), colour(colour), mode(mode) {}

    void Fill(LDrawContext& ctx) const;

    CRgn region;
    LColor colour;
    uint32_t mode = kNormal;
};
