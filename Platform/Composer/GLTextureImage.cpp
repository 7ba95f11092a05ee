#include "Platform/Composer/GLTextureImage.h"

#include "Platform/GL/GLContext.h"
#include "Platform/GL/GLShareGroup.h"
#include "Platform/Video/GLTextureCache.h"

namespace plat {

namespace {

void ReleaseVideoTexture(void* info, const GLTextureImage&) {
    static_cast<GLTexture*>(info)->Release();
}

}  // namespace

GLTextureImage* GLTextureImage::Create(GLShareGroup* group, const TextureView& texture,
                                       ReleaseFunction release, void* info) {
    if (!group || !texture.name || !texture.width || !texture.height) return nullptr;
    return new GLTextureImage(group, texture, release, info);
}

GLTextureImage* GLTextureImage::CreateFromTexture(GLTexture* texture, uint32_t width, uint32_t height) {
    GLContext* current = GLContext::Current();
    if (!texture || !current) return nullptr;
    TextureView view{texture->Name(), texture->Target(), width, height, texture->IsFlipped()};
    texture->Retain();
    GLTextureImage* image = Create(current->ShareGroup(), view, &ReleaseVideoTexture, texture);
    if (!image) texture->Release();
    return image;
}

GLTextureImage::GLTextureImage(GLShareGroup* group, const TextureView& texture, ReleaseFunction release,
                               void* info)
    : fGroup(group), fTexture(texture), fRelease(release), fInfo(info) {
    fGroup->Retain();
}

GLTextureImage::~GLTextureImage() {
    if (fRelease)
        fRelease(fInfo, *this);
    else
        fGroup->DeleteTextureLater(fTexture.name);
    fGroup->Release();
}

}  // namespace plat
