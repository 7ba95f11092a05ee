#include "Lib3/LSources/CoreUI/MCocoaU.h"

#include <cmath>
#include <cstdint>

#include "Common/Container/CArray.h"
#include "Common/Rgn/CRgn.h"

namespace MCocoaU {

namespace {
int32_t ClampEdge(double v) {
    if (!(v > INT32_MIN)) return INT32_MIN;
    if (!(v < INT32_MAX)) return INT32_MAX;
    return static_cast<int32_t>(v);
}
}  // namespace

plat::GfxRect Convert(const CLRect& r) {
    return {static_cast<double>(r.left), static_cast<double>(r.top),
            static_cast<double>(int64_t{r.right} - r.left), static_cast<double>(int64_t{r.bottom} - r.top)};
}

CLRect ConvertToCLRect(const plat::GfxRect& r) {
    if (!std::isfinite(r.x) || !std::isfinite(r.y) || std::isnan(r.width) || std::isnan(r.height) ||
        r.width < 0 || r.height < 0)
        return CLRect();
    double left = std::floor(r.x), top = std::floor(r.y);
    double right = std::ceil(r.x + r.width), bottom = std::ceil(r.y + r.height);
    CLRect out{ClampEdge(left), ClampEdge(top), ClampEdge(right), ClampEdge(bottom)};
    return out.IsEmpty() ? CLRect() : out;
}

plat::ColorSpace GetSRGBColorSpace() {
    return plat::ColorSpace::kSRGB;
}

void GetRects(const CRgn& rgn, std::vector<plat::GfxRect>& out) {
    CArray<CLRect> rects;
    rgn.GetRects(rects);
    for (const CLRect& r : rects) out.push_back(Convert(r));
}

}  // namespace MCocoaU
