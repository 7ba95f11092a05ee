#pragma once

#include <cstdint>

#include "Platform/Composer/Image.h"

namespace plat {

class BufferImage;
class ImageTexturePool;

// A texture holding the image's pixels, usable in the current context: of the given target (0: the
// image's own target, GL_TEXTURE_2D for buffers) and, when upright is asked, with row 0 the bottom
// row. Textures made on the way are kept with the image. False without a current context, or for a
// texture of another share group. A CPU image is uploaded into a texture of the pool when one is
// given (of the current context's group), so textures are reused by size.
[[nodiscard]] bool TextureForImage(const Image& image, uint32_t target, bool upright, TextureView& out,
                                   ImageTexturePool* pool = nullptr);

// The image's pixels in CPU memory (BGRA, top row first): the image itself for a buffer image; for
// a texture image a copy made in the current context (which must share with it), kept with the
// image. Valid while the image lives; null on failure.
const BufferImage* BufferForImage(const Image& image);

}  // namespace plat
