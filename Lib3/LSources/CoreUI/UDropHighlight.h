#pragma once

#include <cstdint>

#include "Common/Rgn/CRgn.h"
#include "Lib3/LSources/CoreUI/LColor.h"

class LDrawContext;

// The ring drawn along the inside of a pane while a drag it accepts hovers over it.
struct UDropHighlight {
    // The rectangle less the same rectangle inset by 4 × thickness − 2 on every side.
    static CRgn Ring(const CLRect& rect, int32_t thickness);
    static void Draw(LDrawContext& ctx, const CLRect& rect, int32_t thickness, const LColor& colour);
};
