#include "Common/Rgn/CRgnCellIter.h"

CRgnCellIter::CRgnCellIter(const CRgn& region, bool columnsFirst, bool backward)
    : fRegion(region), fBounds(region.bounds()), fColumnsFirst(columnsFirst), fBackward(backward) {
    if (!columnsFirst) {
        x = backward ? fBounds.right : fBounds.left - 1;
        y = backward ? fBounds.bottom - 1 : fBounds.top;
    } else {
        x = backward ? fBounds.right - 1 : fBounds.left;
        y = backward ? fBounds.bottom : fBounds.top - 1;
    }
}

bool CRgnCellIter::Next() {
    if (fRegion.IsEmpty()) return false;
    // Outer: the row (or column) coordinate; inner: the position along it.
    int32_t& outer = fColumnsFirst ? x : y;
    int32_t& inner = fColumnsFirst ? y : x;
    const int32_t outerLo = fColumnsFirst ? fBounds.left : fBounds.top;
    const int32_t outerHi = fColumnsFirst ? fBounds.right : fBounds.bottom;
    const int32_t innerLo = fColumnsFirst ? fBounds.top : fBounds.left;
    const int32_t innerHi = fColumnsFirst ? fBounds.bottom : fBounds.right;
    const int32_t step = fBackward ? -1 : 1;
    for (;;) {
        if (fBackward ? outer < outerLo : outer >= outerHi) return false;
        const CLRect strip = fColumnsFirst ? CLRect{outer, innerLo, outer + 1, innerHi}
                                           : CLRect{innerLo, outer, innerHi, outer + 1};
        if (fRegion.Contain(strip)) {
            for (inner += step; fBackward ? inner >= innerLo : inner < innerHi; inner += step)
                if (fRegion.Contain(CLPoint{x, y})) return true;
        }
        inner = fBackward ? innerHi : innerLo - 1;
        outer += step;
    }
}
