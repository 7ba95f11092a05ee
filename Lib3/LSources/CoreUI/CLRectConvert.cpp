#include "Lib3/LSources/CoreUI/CLRectConvert.h"

#include <cmath>

namespace {

int32_t ClampEdge(double v) {
    if (!(v > INT32_MIN)) return INT32_MIN;
    if (!(v < INT32_MAX)) return INT32_MAX;
    return static_cast<int32_t>(v);
}

}  // namespace

int32_t RoundToInt32(double value) {
    if (std::isnan(value)) return 0;
    double r = std::round(value);  // halves away from zero
    if (r >= 2147483647.0) return 2147483647;
    if (r <= -2147483648.0) return int32_t(-2147483647 - 1);
    return int32_t(r);
}

plat::Rect ToPlatRect(const CLRect& r) {
    return {double(r.left), double(r.top), double(r.right) - double(r.left),
            double(r.bottom) - double(r.top)};
}

CLRect ToCLRect(const plat::Rect& r) {
    return {RoundToInt32(r.x), RoundToInt32(r.y), RoundToInt32(r.x + r.width), RoundToInt32(r.y + r.height)};
}

CLPoint ToCLPoint(const plat::Point& p) {
    return {RoundToInt32(p.x), RoundToInt32(p.y)};
}

CLRect ToCLRectOutward(const plat::Rect& r) {
    if (!std::isfinite(r.x) || !std::isfinite(r.y) || std::isnan(r.width) || std::isnan(r.height) ||
        r.width < 0 || r.height < 0)
        return CLRect();
    double left = std::floor(r.x), top = std::floor(r.y);
    double right = std::ceil(r.x + r.width), bottom = std::ceil(r.y + r.height);
    CLRect out{ClampEdge(left), ClampEdge(top), ClampEdge(right), ClampEdge(bottom)};
    return out.IsEmpty() ? CLRect() : out;
}
