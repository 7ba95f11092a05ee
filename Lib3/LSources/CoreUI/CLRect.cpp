#include "Lib3/LSources/CoreUI/CLRect.h"

#include <algorithm>

namespace {

// Coordinates are computed in 64 bits and wrap back to 32 like the rest of the geometry.
int32_t Wrap(int64_t v) {
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(v)));
}

int32_t MapCoord(int32_t x, int32_t fromLeft, int64_t fw, int32_t toLeft, int64_t tw) {
    if (fw == 0) return toLeft;
    int64_t offset = (static_cast<int64_t>(x) - fromLeft) * tw;
    return Wrap((offset + fw / 2) / fw + toLeft);
}

}  // namespace

bool CLRect::overlap(const CLRect& o) const {
    if (IsEmpty() || o.IsEmpty()) return false;
    return left < o.right && o.left < right && top < o.bottom && o.top < bottom;
}

void CLRect::Shift(int32_t dx, int32_t dy) {
    left = Wrap(int64_t{left} + dx);
    right = Wrap(int64_t{right} + dx);
    top = Wrap(int64_t{top} + dy);
    bottom = Wrap(int64_t{bottom} + dy);
}

void CLRect::Inset(int32_t dx, int32_t dy) {
    left = Wrap(int64_t{left} + dx);
    top = Wrap(int64_t{top} + dy);
    right = Wrap(int64_t{right} - dx);
    bottom = Wrap(int64_t{bottom} - dy);
}

void CLRect::Union(const CLRect& o) {
    if (o.IsEmpty()) return;
    if (IsEmpty()) {
        *this = o;
        return;
    }
    left = std::min(left, o.left);
    top = std::min(top, o.top);
    right = std::max(right, o.right);
    bottom = std::max(bottom, o.bottom);
}

CLRect& CLRect::operator&=(const CLRect& o) {
    left = std::max(left, o.left);
    top = std::max(top, o.top);
    right = std::min(right, o.right);
    bottom = std::min(bottom, o.bottom);
    if (IsEmpty()) *this = CLRect{};
    return *this;
}

void CLRect::CenterOf(const CLRect& o) {
    // o may be this rectangle: both offsets are computed before moving.
    int64_t dx = ((int64_t{o.left} + o.right) - (int64_t{left} + right)) / 2;
    int64_t dy = ((int64_t{o.top} + o.bottom) - (int64_t{top} + bottom)) / 2;
    Shift(Wrap(dx), Wrap(dy));
}

void CLRect::MaxFit(const CLRect& into) {
    const CLRect o = into;
    int64_t W = int64_t{o.right} - o.left, H = int64_t{o.bottom} - o.top;
    int64_t w = int64_t{right} - left, h = int64_t{bottom} - top;
    int64_t hAtW = w > 0 ? (h * W + w - 1) / w : 0;
    int64_t wAtH = h > 0 ? (w * H + h - 1) / h : 0;
    if (H < hAtW) {
        right = Wrap(left + wAtH);
        bottom = Wrap(top + H);
    } else {
        right = Wrap(left + W);
        bottom = Wrap(top + hAtW);
    }
    CenterOf(o);
}

void CLRect::Map(const CLRect& fromFrame, const CLRect& toFrame) {
    const CLRect from = fromFrame, to = toFrame;  // either may be this rectangle
    int64_t fw = int64_t{from.right} - from.left, tw = int64_t{to.right} - to.left;
    int64_t fh = int64_t{from.bottom} - from.top, th = int64_t{to.bottom} - to.top;
    left = MapCoord(left, from.left, fw, to.left, tw);
    right = MapCoord(right, from.left, fw, to.left, tw);
    top = MapCoord(top, from.top, fh, to.top, th);
    bottom = MapCoord(bottom, from.top, fh, to.top, th);
}
