#pragma once

#include <cstdint>

#include "Common/Rgn/CRgn.h"

// Walks the unit cells of a region row by row (or column by column), forwards or backwards.
class CRgnCellIter {
public:
    CRgnCellIter(const CRgn& region, bool columnsFirst, bool backward);
    // Moves to the next cell of the region; false at the end.
    bool Next();

    int32_t x;
    int32_t y;

private:
    CRgn fRegion;
    CLRect fBounds;
    bool fColumnsFirst;
    bool fBackward;
};
