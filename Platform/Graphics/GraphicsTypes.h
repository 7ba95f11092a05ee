#pragma once

#include <cstdint>

#include "Platform/Foundation/Geometry.h"

namespace plat {

// Straight (not premultiplied) colour components in 0..1.
struct GfxColor {
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 1;
};

// An affine transformation: x' = xx x + xy y + x0, y' = yx x + yy y + y0.
struct GfxMatrix {
    double xx = 1, yx = 0, xy = 0, yy = 1, x0 = 0, y0 = 0;
};

enum class BlendMode : uint8_t { kNormal, kDifference, kMultiply, kScreen };

// Colour spaces are labels: every context draws in sRGB; grey buffers convert on the way out.
enum class ColorSpace : uint8_t { kSRGB, kGenericGray, kDeviceRGB };

}  // namespace plat
