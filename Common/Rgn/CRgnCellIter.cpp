#include "Common/Rgn/CRgnCellIter.h"

CRgnCellIter::CRgnCellIter(const CRgn& region, bool columnsFirst, bool backward)
    : fRegion(region), fBounds(region.bounds()), fColumnsFirst(columnsFirst), fBackward(backward) {
    // Outer runs over rows (columns first: columns), inner along them.
    const CLRect& b = fBounds;
    const int64_t outerLo = columnsFirst ? b.left : b.top, outerHi = columnsFirst ? b.right : b.bottom;
    const int64_t innerLo = columnsFirst ? b.top : b.left, innerHi = columnsFirst ? b.bottom : b.right;
    fOuter = backward ? outerHi - 1 : outerLo;
    fInner = backward ? innerHi : innerLo - 1;
}

bool CRgnCellIter::Next() {
    if (fRegion.IsEmpty()) return false;
    const CLRect& b = fBounds;
    const int64_t outerLo = fColumnsFirst ? b.left : b.top, outerHi = fColumnsFirst ? b.right : b.bottom;
    const int64_t innerLo = fColumnsFirst ? b.top : b.left, innerHi = fColumnsFirst ? b.bottom : b.right;
    const int step = fBackward ? -1 : 1;
    for (;;) {
        if (fBackward ? fOuter < outerLo : fOuter >= outerHi) return false;
        const int32_t o = static_cast<int32_t>(fOuter);
        const CLRect strip =
            fColumnsFirst ? CLRect{o, b.top, o + 1, b.bottom} : CLRect{b.left, o, b.right, o + 1};
        if (fRegion.Contain(strip)) {
            for (fInner += step; fBackward ? fInner >= innerLo : fInner < innerHi; fInner += step) {
                const int32_t i = static_cast<int32_t>(fInner);
                x = fColumnsFirst ? o : i;
                y = fColumnsFirst ? i : o;
                if (fRegion.Contain(CLPoint{x, y})) return true;
            }
        }
        fInner = fBackward ? innerHi : innerLo - 1;
        fOuter += step;
    }
}
