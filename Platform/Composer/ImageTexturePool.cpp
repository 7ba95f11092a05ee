#include "Platform/Composer/ImageTexturePool.h"

#include <epoxy/gl.h>

#include "Platform/Composer/GLDrawing.h"
#include "Platform/Composer/GLTextureImage.h"
#include "Platform/GL/GLShareGroup.h"

namespace plat {

namespace {

// Trims a free texture survives unused.
constexpr uint64_t kKeepTrims = 3;

}  // namespace

Ref<ImageTexturePool> ImageTexturePool::Create(GLShareGroup* group) {
    return group ? Adopt(new ImageTexturePool(group)) : nullptr;
}

bool TexturePoolLink::GiveBack(uint32_t name, uint32_t target, uint32_t width, uint32_t height) {
    std::lock_guard<std::mutex> lock(fMutex);
    if (!fPool) return false;
    fPool->GiveBack(name, target, width, height);
    return true;
}

ImageTexturePool::ImageTexturePool(GLShareGroup* group)
    : fGroup(group), fLink(std::make_shared<TexturePoolLink>()) {
    fLink->fPool = this;
}

ImageTexturePool::~ImageTexturePool() {
    {
        std::lock_guard<std::mutex> lock(fLink->fMutex);
        fLink->fPool = nullptr;
    }
    for (const Entry& e : fFree) fGroup->DeleteTextureLater(e.name);
}

uint32_t ImageTexturePool::TakeTexture(uint32_t target, uint32_t width, uint32_t height) {
    if (!width || !height) return 0;
    {
        std::lock_guard<std::mutex> lock(fMutex);
        for (size_t i = 0; i < fFree.size(); ++i) {
            const Entry& e = fFree[i];
            if (e.target == target && e.width == width && e.height == height) {
                const uint32_t name = e.name;
                fFree.erase(fFree.begin() + static_cast<long>(i));
                return name;
            }
        }
    }
    return gldraw::NewTexture(target, width, height);
}

void ImageTexturePool::GiveBack(uint32_t name, uint32_t target, uint32_t width, uint32_t height) {
    std::lock_guard<std::mutex> lock(fMutex);
    fFree.push_back({name, target, width, height, fTrims});
}

Ref<GLTextureImage> ImageTexturePool::CreateImage(uint32_t target, uint32_t width, uint32_t height) {
    const uint32_t name = TakeTexture(target, width, height);
    if (!name) return nullptr;
    Ref<ImageTexturePool> self(this);
    Ref<GLTextureImage> image = GLTextureImage::Create(
        fGroup.get(), TextureView{name, target, width, height, false}, &Recycle, self.get());
    if (image) (void)self.release();  // given back through Recycle
    return image;
}

void ImageTexturePool::Recycle(void* info, const GLTextureImage& image) {
    Ref<ImageTexturePool> pool = Adopt(static_cast<ImageTexturePool*>(info));  // the image's reference
    pool->GiveBack(image.Name(), image.Target(), image.Width(), image.Height());
}

void ImageTexturePool::Trim() {
    std::vector<uint32_t> names;
    {
        std::lock_guard<std::mutex> lock(fMutex);
        ++fTrims;
        for (size_t i = fFree.size(); i-- > 0;) {
            if (fFree[i].stamp + kKeepTrims < fTrims) {
                names.push_back(fFree[i].name);
                fFree.erase(fFree.begin() + static_cast<long>(i));
            }
        }
    }
    if (!names.empty()) glDeleteTextures(static_cast<GLsizei>(names.size()), names.data());
}

size_t ImageTexturePool::FreeCount() const {
    std::lock_guard<std::mutex> lock(fMutex);
    return fFree.size();
}

}  // namespace plat
