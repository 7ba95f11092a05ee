#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreUI/CLRect.h"
#include "Platform/Foundation/Geometry.h"
#include "Platform/Graphics/GraphicsTypes.h"

class LImageH;
namespace plat {
class BitmapImage;
class Window;
}  // namespace plat

// Conversions between the framework's integer top-down rectangles and floating-point rectangles (the
// unflipped ones are those of CLRectConvert.h), and small window metrics. Flip mirrors against a height
// (usually the first screen's), for data kept bottom-up.
class MCocoaU {
public:
    // Nearest integer, halves away from zero; NaN gives 0, values beyond int32 are clamped.
    static int32_t Round(double value);

    // The height of the first screen, truncated; 0 when there is no screen.
    static int32_t MainScreenHeight();

    static plat::Point Flip(const CLPoint& p, int32_t height);
    static CLPoint FlipToCLPoint(const plat::Point& p, double height);
    static plat::Rect Flip(const CLRect& r, int32_t height);
    static CLRect FlipToCLRect(const plat::Rect& r, double height);
    // No flip.
    static plat::Rect Convert(const CLRect& r);
    // Rounds outwards to whole pixels and clamps every edge into the 32-bit range on both sides; a
    // rectangle with a NaN or infinite origin (the null rectangle) or a negative size becomes empty.
    static CLRect ConvertToCLRect(const plat::Rect& r);
    static CLRect ToCLRect(const plat::Rect& r);
    static CLPoint ToCLPoint(const plat::Point& p);

    // The colour space every framework drawing uses.
    static plat::ColorSpace GetSRGBColorSpace();

    // A native colour's red, green, blue and alpha in sRGB (every native colour is sRGB already).
    static void SRGBComponents(const plat::GfxColor& colour, float out[4]);
    static plat::GfxColor ColorFromComponents(float red, float green, float blue, float alpha);

    // The image's native bitmap, autoreleased; null for images without one.
    static const plat::BitmapImage* ImageToNSImage(const LImageH& image);

    // Scroller width: 16, or the small size for windows at the floating level.
    static int32_t ScrollerWidth(const plat::Window* window);
    // Room a scroller leaves for the grow box of a resizable window: none on systems after 10.6.
    static int32_t GrowBoxInset(const plat::Window* window);
};
