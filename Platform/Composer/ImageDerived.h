#pragma once

#include "Platform/Composer/Image.h"

namespace plat {

class ImageTexturePool;

// The representations kept with an image (used by the conversions).
struct ImageDerivedAccess {
    // A texture of that share group, target and orientation made earlier.
    static bool FindTexture(const Image& image, const GLShareGroup* group, uint32_t target, bool upright,
                            TextureView& out);
    // Keeps a new texture (deleted later through the group); when another thread was quicker, the
    // new texture is given up and the kept one returned in out.
    // With a pool, the texture goes back to it when the image goes (or at once when not kept).
    static void AddTexture(const Image& image, GLShareGroup* group, bool upright, TextureView& inOut,
                           ImageTexturePool* pool = nullptr);
    static const BufferImage* Buffer(const Image& image);
    // Returns the kept buffer (the other one when another thread was quicker).
    static const BufferImage* SetBuffer(const Image& image, Ref<BufferImage> buffer);
};

}  // namespace plat
