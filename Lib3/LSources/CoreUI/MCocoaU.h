#pragma once

#include <vector>

#include "Lib3/LSources/CoreUI/CLRect.h"
#include "Platform/Graphics/GraphicsTypes.h"

class CRgn;

// Conversions between the framework's integer geometry and the drawing layer's.
namespace MCocoaU {

plat::GfxRect Convert(const CLRect& r);
// Rounds outwards to whole pixels and clamps every edge into the 32-bit range on both sides; a
// rectangle with a NaN or infinite origin (the null rectangle) or a negative size becomes empty.
CLRect ConvertToCLRect(const plat::GfxRect& r);
// The colour space every framework drawing uses.
plat::ColorSpace GetSRGBColorSpace();
// Appends the region's rectangles.
void GetRects(const CRgn& rgn, std::vector<plat::GfxRect>& out);

}  // namespace MCocoaU
