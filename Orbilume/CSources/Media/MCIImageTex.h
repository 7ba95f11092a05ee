#pragma once

#include <cstdint>

#include "Platform/Foundation/Object.h"

namespace plat {
class GLShareGroup;
class GLTextureImage;
}  // namespace plat
class COpenGLTexture;

// A composition image standing on a COpenGLTexture (not flipped, sRGB): it holds one reference on
// the texture and drops it when the image goes, on whatever thread that is (a pooled texture then
// returns to its pool under the pool lock).
class MCIImageTex {
public:
    // Null for a null texture, a zero size, or without a share group (none given and no shared
    // context registered).
    static plat::Ref<plat::GLTextureImage> Create(COpenGLTexture* texture, uint32_t width, uint32_t height,
                                                  plat::GLShareGroup* group = nullptr);
};
