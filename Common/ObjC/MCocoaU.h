#pragma once

#include <cstdint>

#include "Platform/AppKit/Geometry.h"

namespace plat {
class Window;
}

// Conversions between the framework's integer top-down rectangles and floating-point rectangles,
// and small window metrics. Flip mirrors against a height (usually the first screen's), for data
// kept bottom-up.
class MCocoaU {
public:
    // Nearest integer, halves away from zero; NaN gives 0, values beyond int32 are clamped.
    static int32_t Round(double value);

    // The height of the first screen, truncated; 0 when there is no screen.
    static int32_t MainScreenHeight();

    static plat::Point Flip(const plat::IntPoint& p, int32_t height);
    static plat::IntPoint FlipToCLPoint(const plat::Point& p, double height);
    static plat::Rect Flip(const plat::IntRect& r, int32_t height);
    static plat::IntRect FlipToCLRect(const plat::Rect& r, double height);
    // No flip.
    static plat::Rect Convert(const plat::IntRect& r);
    static plat::IntRect ToCLRect(const plat::Rect& r);
    static plat::IntPoint ToCLPoint(const plat::Point& p);

    // Scroller width: 16, or the small size for windows at the floating level.
    static int32_t ScrollerWidth(const plat::Window* window);
    // Room a scroller leaves for the grow box: none on current systems.
    static int32_t GrowBoxInset(const plat::Window* window);
};
