#include "Lib3/LSources/CoreUI/CLRect.h"

#include <cmath>

namespace {

int32_t Clamp(int64_t v) {
    return v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : static_cast<int32_t>(v);
}

int32_t MapCoord(int32_t v, int32_t fromA, int32_t fromB, int32_t toA, int32_t toB) {
    const double span = static_cast<double>(fromB) - fromA;
    if (span == 0) return toA;
    return Clamp(
        std::llround(toA + (static_cast<double>(v) - fromA) * ((static_cast<double>(toB) - toA) / span)));
}

}  // namespace

void CLRect::Inset(int32_t dx, int32_t dy) {
    left = Clamp(int64_t{left} + dx);
    right = Clamp(int64_t{right} - dx);
    top = Clamp(int64_t{top} + dy);
    bottom = Clamp(int64_t{bottom} - dy);
}

void CLRect::Map(const CLRect& fromFrame, const CLRect& toFrame) {
    const CLRect from = fromFrame, to = toFrame;  // either may be this rectangle
    left = MapCoord(left, from.left, from.right, to.left, to.right);
    right = MapCoord(right, from.left, from.right, to.left, to.right);
    top = MapCoord(top, from.top, from.bottom, to.top, to.bottom);
    bottom = MapCoord(bottom, from.top, from.bottom, to.top, to.bottom);
}
