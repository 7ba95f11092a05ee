#pragma once

#include "Lib3/LSources/CoreUI/CLRect.h"
#include "Lib3/LSources/CoreUI/LColor.h"

class LDrawContext;

// A one-pixel bevelled frame: the first colour on the top and left edges, the second on the
// bottom and right edges.
class CBevelFrame {
public:
    CBevelFrame(const CLRect& rect, const LColor& first, const LColor& second)
        : fRect(rect), fFirst(first), fSecond(second) {}

    void Draw(LDrawContext& ctx) const;

private:
    CLRect fRect;
    LColor fFirst;
    LColor fSecond;
};
