#include "Platform/Composer/Image.h"

#include <memory>
#include <vector>

#include "Platform/Composer/BufferImage.h"
#include "Platform/Composer/ImageDerived.h"
#include "Platform/Composer/ImageTexturePool.h"
#include "Platform/GL/GLShareGroup.h"

namespace plat {

struct Image::Derived {
    struct Texture {
        Ref<GLShareGroup> group;
        bool upright;
        TextureView view;
        std::shared_ptr<TexturePoolLink> pool;  // null, or the pool gone: deleted through the group
    };
    std::vector<Texture> textures;
    Ref<BufferImage> buffer;
};

Image::~Image() {
    if (!fDerived) return;
    for (Derived::Texture& t : fDerived->textures) {
        if (!t.pool || !t.pool->GiveBack(t.view.name, t.view.target, t.view.width, t.view.height))
            t.group->DeleteTextureLater(t.view.name);
    }
    delete fDerived;
}

bool ImageDerivedAccess::FindTexture(const Image& image, const GLShareGroup* group, uint32_t target,
                                     bool upright, TextureView& out) {
    std::lock_guard<std::mutex> lock(image.fDerivedMutex);
    if (!image.fDerived) return false;
    for (const Image::Derived::Texture& t : image.fDerived->textures) {
        if (t.group == group && t.view.target == target && (t.upright || !upright)) {
            out = t.view;
            return true;
        }
    }
    return false;
}

void ImageDerivedAccess::AddTexture(const Image& image, GLShareGroup* group, bool upright, TextureView& inOut,
                                    ImageTexturePool* pool) {
    std::lock_guard<std::mutex> lock(image.fDerivedMutex);
    if (!image.fDerived) image.fDerived = new Image::Derived;
    for (const Image::Derived::Texture& t : image.fDerived->textures) {
        if (t.group == group && t.view.target == inOut.target && (t.upright || !upright)) {
            if (pool)
                pool->GiveBack(inOut.name, inOut.target, inOut.width, inOut.height);
            else
                group->DeleteTextureLater(inOut.name);
            inOut = t.view;
            return;
        }
    }
    image.fDerived->textures.push_back(
        {RetainRef(group), upright, inOut, pool ? pool->Link() : std::shared_ptr<TexturePoolLink>()});
}

const BufferImage* ImageDerivedAccess::Buffer(const Image& image) {
    std::lock_guard<std::mutex> lock(image.fDerivedMutex);
    return image.fDerived ? image.fDerived->buffer.get() : nullptr;
}

const BufferImage* ImageDerivedAccess::SetBuffer(const Image& image, Ref<BufferImage> buffer) {
    std::lock_guard<std::mutex> lock(image.fDerivedMutex);
    if (!image.fDerived) image.fDerived = new Image::Derived;
    if (!image.fDerived->buffer) image.fDerived->buffer = std::move(buffer);
    return image.fDerived->buffer.get();
}

}  // namespace plat
