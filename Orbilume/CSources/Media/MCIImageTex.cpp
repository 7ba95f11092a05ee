#include "Orbilume/CSources/Media/MCIImageTex.h"

#include "Common/OpenGL/COpenGLContext_Cca.h"
#include "Common/OpenGL/COpenGLTexture.h"
#include "Platform/Composer/GLTextureImage.h"
#include "Platform/GL/GLContext.h"

namespace {

void DropTexture(void* info, const plat::GLTextureImage&) {
    static_cast<COpenGLTexture*>(info)->Release();
}

}  // namespace

plat::Ref<plat::GLTextureImage> MCIImageTex::Create(COpenGLTexture* texture, uint32_t width, uint32_t height,
                                                    plat::GLShareGroup* group) {
    if (!texture || width == 0 || height == 0) return nullptr;
    if (!group) {
        COpenGLContext_Cca* shared = COpenGLContext_Cca::Shared();
        if (shared && shared->glcontext()) group = shared->glcontext()->ShareGroup();
    }
    if (!group) return nullptr;
    plat::TextureView view;
    view.name = texture->name();
    view.target = texture->target();
    view.width = width;
    view.height = height;
    view.flipped = false;
    texture->Retain();
    plat::Ref<plat::GLTextureImage> image = plat::GLTextureImage::Create(group, view, DropTexture, texture);
    if (!image) texture->Release();
    return image;
}
