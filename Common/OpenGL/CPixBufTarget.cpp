#include "Common/OpenGL/CPixBufTarget.h"

#include <cstdint>

#include "Common/OpenGL/COpenGLContext_Cca.h"
#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Platform/GL/GLContext.h"
#include "Platform/Video/GLTextureCache.h"
#include "Platform/Video/PixelBuffer.h"

CPixBufTarget::~CPixBufTarget() {
    if (!fCache) return;
    COpenGLScope_Cca scope(*COpenGLCommonCtx::Use());
    fCache = nullptr;  // deletes the names of textures released before
}

void CPixBufTarget::SetSize(uint32_t width, uint32_t height) {
    fWantedWidth = width;
    fWantedHeight = height;
}

plat::Ref<plat::GLTexture> CPixBufTarget::GetTexture(uint32_t width, uint32_t height) {
    if (width == 0 || height == 0 || width > INT32_MAX || height > INT32_MAX) return nullptr;
    COpenGLContext_Cca& common = *COpenGLCommonCtx::Use();
    if (width != fWidth || height != fHeight) {
        fWidth = fHeight = 0;
        fPool = plat::PixelBufferPool::Create(static_cast<int32_t>(width), static_cast<int32_t>(height));
        if (fPool && !fCache) fCache = plat::GLTextureCache::Create(common.glcontext(), common.pixelformat());
        if (!fPool || !fCache) return nullptr;
        fWidth = width;
        fHeight = height;
    }
    plat::Ref<plat::PixelBuffer> buffer = fPool->CreatePixelBuffer();
    if (!buffer) return nullptr;
    COpenGLScope_Cca scope(common);
    plat::Ref<plat::GLTexture> texture = fCache->CreateTexture(buffer.get());  // keeps the buffer
    fCache->Flush();
    return texture;
}

bool CPixBufTarget::Download(plat::GLTexture* texture) {
    if (!fCache || !texture) return false;
    if (plat::GLContext::Current()) return fCache->Download(texture);  // the caller's scope
    COpenGLScope_Cca scope(*COpenGLCommonCtx::Use());
    return fCache->Download(texture);
}

bool CPixBufTarget::Upload(plat::GLTexture* texture) {
    if (!fCache || !texture) return false;
    if (plat::GLContext::Current()) return fCache->Upload(texture);
    COpenGLScope_Cca scope(*COpenGLCommonCtx::Use());
    return fCache->Upload(texture);
}
