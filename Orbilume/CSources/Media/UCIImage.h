#pragma once

#include "Platform/Composer/Image.h"
#include "Platform/Foundation/Geometry.h"
#include "Platform/Foundation/Object.h"

// Small helpers over composition images (the media input port driver hands frames to compositions
// with them). Texture images need a current context of their share group; any thread.
class UCIImage {
public:
    // The image's rectangle at the origin; the zero rectangle for null.
    static plat::Rect Extent(const plat::Image* image);
    // A CPU image of the scaled size (bilinear); null for a null image or a zero, negative or
    // non-finite factor, or a size beyond the buffer limits.
    static plat::Ref<plat::Image> Scale(const plat::Image* image, float sx, float sy);
    // A CPU copy of the image; null when needData is set and no pixels could be read (and for null).
    static plat::Ref<plat::Image> Rasterize(const plat::Image* image, bool needData);
};
