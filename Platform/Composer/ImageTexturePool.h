#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "Platform/Foundation/Object.h"

namespace plat {

class GLShareGroup;
class GLTextureImage;
class ImageTexturePool;

// A link to a pool that does not keep it alive: textures uploaded for images go back through it
// while the pool lives, and are deleted through their group once it is gone.
class TexturePoolLink {
public:
    // False when the pool is gone.
    bool GiveBack(uint32_t name, uint32_t target, uint32_t width, uint32_t height);

private:
    friend class ImageTexturePool;
    std::mutex fMutex;
    ImageTexturePool* fPool = nullptr;
};

// Textures for the images a renderer makes. An image's texture comes back to the pool when the
// image is released (from any thread) and is handed out again for the next image of that size.
class ImageTexturePool final : public Object {
public:
    static Ref<ImageTexturePool> Create(GLShareGroup* group);

    // An owned image over an RGBA8 texture of that target and size (not flipped, contents
    // undefined), or null. Needs a context of the group current.
    Ref<GLTextureImage> CreateImage(uint32_t target, uint32_t width, uint32_t height);
    // A texture of that target and size for the caller to fill (a free one when there is one),
    // or 0; it comes back through GiveBack (any thread). Needs a context of the group current.
    uint32_t TakeTexture(uint32_t target, uint32_t width, uint32_t height);
    void GiveBack(uint32_t name, uint32_t target, uint32_t width, uint32_t height);
    // Deletes textures that stayed unused over the last few trims. Needs a context of the group.
    void Trim();
    GLShareGroup* Group() const { return fGroup.get(); }
    const std::shared_ptr<TexturePoolLink>& Link() const { return fLink; }
    size_t FreeCount() const;

private:
    struct Entry {
        uint32_t name, target, width, height;
        uint64_t stamp;
    };

    explicit ImageTexturePool(GLShareGroup* group);
    ~ImageTexturePool() override;
    static void Recycle(void* info, const GLTextureImage& image);

    Ref<GLShareGroup> fGroup;
    std::shared_ptr<TexturePoolLink> fLink;
    mutable std::mutex fMutex;
    std::vector<Entry> fFree;
    uint64_t fTrims = 0;
};

}  // namespace plat
