#pragma once

#include <cstdint>

#include "Platform/Composer/Image.h"

namespace plat {

class GLShareGroup;
class GLTexture;

// An image held in a GL texture of one share group (usable in every context of the group).
class GLTextureImage final : public Image {
public:
    // Called once, on whichever thread drops the last reference; the callee disposes of the texture.
    using ReleaseFunction = void (*)(void* info, const GLTextureImage& image);

    // An owned reference over the texture, or null for a zero name or size. With no release
    // function the image owns the texture: it is deleted later in a context of the group.
    static Ref<GLTextureImage> Create(GLShareGroup* group, const TextureView& texture,
                                      ReleaseFunction release = nullptr, void* info = nullptr);
    // Over a texture of the video texture cache (kept alive by the image), in the share group of
    // the current context; null without one.
    static Ref<GLTextureImage> CreateFromTexture(GLTexture* texture, uint32_t width, uint32_t height);

    ImageKind Kind() const override { return ImageKind::Texture; }
    uint32_t Width() const override { return fTexture.width; }
    uint32_t Height() const override { return fTexture.height; }

    const TextureView& Texture() const { return fTexture; }
    uint32_t Name() const { return fTexture.name; }
    uint32_t Target() const { return fTexture.target; }
    bool IsFlipped() const { return fTexture.flipped; }
    GLShareGroup* ShareGroup() const { return fGroup.get(); }

private:
    GLTextureImage(GLShareGroup* group, const TextureView& texture, ReleaseFunction release, void* info);
    ~GLTextureImage() override;

    Ref<GLShareGroup> fGroup;
    TextureView fTexture;
    ReleaseFunction fRelease;
    void* fInfo;
};

}  // namespace plat
