#pragma once

#include <cstdint>

namespace plat {

// Geometry of the drawing layer, in device-independent units; y grows downwards.
struct GfxPoint {
    double x = 0;
    double y = 0;
};

struct GfxRect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    double MaxX() const { return x + width; }
    double MaxY() const { return y + height; }
    bool IsEmpty() const { return !(width > 0) || !(height > 0); }
};

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
