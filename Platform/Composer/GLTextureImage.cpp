#include "Platform/Composer/GLTextureImage.h"

#include "Platform/GL/GLContext.h"
#include "Platform/GL/GLShareGroup.h"
#include "Platform/Video/GLTextureCache.h"

namespace plat {

namespace {

void ReleaseVideoTexture(void* info, const GLTextureImage&) {
    Ref<GLTexture> texture = Adopt(static_cast<GLTexture*>(info));  // the image's reference
}

}  // namespace

Ref<GLTextureImage> GLTextureImage::Create(GLShareGroup* group, const TextureView& texture,
                                           ReleaseFunction release, void* info) {
    if (!group || !texture.name || !texture.width || !texture.height) return nullptr;
    return Adopt(new GLTextureImage(group, texture, release, info));
}

Ref<GLTextureImage> GLTextureImage::CreateFromTexture(GLTexture* texture, uint32_t width, uint32_t height) {
    GLContext* current = GLContext::Current();
    if (!texture || !current) return nullptr;
    TextureView view{texture->Name(), texture->Target(), width, height, texture->IsFlipped()};
    Ref<GLTexture> kept = RetainRef(texture);
    Ref<GLTextureImage> image = Create(current->ShareGroup(), view, &ReleaseVideoTexture, kept.get());
    if (image) (void)kept.release();  // the image gives it back through ReleaseVideoTexture
    return image;
}

GLTextureImage::GLTextureImage(GLShareGroup* group, const TextureView& texture, ReleaseFunction release,
                               void* info)
    : fGroup(group), fTexture(texture), fRelease(release), fInfo(info) {}

GLTextureImage::~GLTextureImage() {
    if (fRelease)
        fRelease(fInfo, *this);
    else
        fGroup->DeleteTextureLater(fTexture.name);
}

}  // namespace plat
