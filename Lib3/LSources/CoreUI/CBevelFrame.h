#pragma once

#include "Lib3/LSources/CoreUI/CLRect.h"
#include "Lib3/LSources/CoreUI/LColor.h"

// A one-pixel bevelled frame: the first colour on the top and left edges, the second on the
// bottom and right edges.
class CBevelFrame {
public:
    // Fills one rectangle with one colour in the caller's drawing context.
    using FillRect = void (*)(void* context, const CLRect& rect, const LColor& colour);

    CBevelFrame(const CLRect& rect, const LColor& first, const LColor& second)
        : fRect(rect), fFirst(first), fSecond(second) {}

    void Draw(FillRect fill, void* context) const;

private:
    CLRect fRect;
    LColor fFirst;
    LColor fSecond;
};
