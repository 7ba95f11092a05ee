#pragma once

#include <cstdint>

#include "Common/Rgn/CRgn.h"

// Walks the unit cells of a region row by row (or column by column), forwards or backwards.
class CRgnCellIter {
public:
    CRgnCellIter(const CRgn& region, bool columnsFirst, bool backward);
    // Moves to the next cell of the region, stored in x and y; false at the end.
    bool Next();

    int32_t x = 0;
    int32_t y = 0;

private:
    CRgn fRegion;
    CLRect fBounds;
    bool fColumnsFirst;
    bool fBackward;
    // The walk position, one step before the first cell; wide so the edges of the plane are safe.
    int64_t fOuter;
    int64_t fInner;
};
