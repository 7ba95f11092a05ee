#pragma once

#include <cstdint>

#include "Common/Container/CArray.h"
#include "Lib3/LSources/CoreUI/CLRect.h"
#include "Lib3/LSources/CoreUI/LColor.h"

class LDrawContext;

// An open line through integer points, stroked, or filled when `fill` is 1.
class LPolyline {
public:
    void AddPoint(const CLPoint& p) { points.Append(p); }
    // Nothing with fewer than two points.
    void Draw(LDrawContext& ctx) const;

    LColor colour;
    uint32_t lineWidth = 1;
    uint32_t fill = 0;
    CArray<CLPoint> points;
};
