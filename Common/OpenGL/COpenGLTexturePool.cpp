#include "Common/OpenGL/COpenGLTexturePool.h"

#include "Common/OpenGL/COpenGLTexture.h"

COpenGLTexturePool::COpenGLTexturePool(unsigned target) : fTarget(target) {}

COpenGLTexturePool::~COpenGLTexturePool() {
    Relinquish();
}

std::recursive_mutex& COpenGLTexturePool::Lock() {
    static std::recursive_mutex* lock = new std::recursive_mutex;  // lives past every static pool
    return *lock;
}

plat::Ref<COpenGLTexture> COpenGLTexturePool::New(COpenGLContext_Cca& context) {
    return COpenGLTexture::New(context, fTarget, this);
}

int COpenGLTexturePool::magic(unsigned width, unsigned height) {
    {
        std::lock_guard<std::recursive_mutex> lock(Lock());
        if (width == fWidth && height == fHeight) return 0;
        fWidth = width;
        fHeight = height;
    }
    Relinquish();
    return 0;
}

plat::Ref<COpenGLTexture> COpenGLTexturePool::AllocTexture(COpenGLContext_Cca& context, unsigned) {
    {
        std::lock_guard<std::recursive_mutex> lock(Lock());
        // A free texture's count is 0: the reference handed out is its first again.
        if (fFreeCount > 0) return plat::RetainRef(fTextures[--fFreeCount]);
    }
    plat::Ref<COpenGLTexture> texture = New(context);
    if (!texture) return nullptr;
    std::lock_guard<std::recursive_mutex> lock(Lock());
    if (!fTextures.Append(texture.get())) texture->fPool = nullptr;  // unpooled: deleted at its release
    return texture;
}

void COpenGLTexturePool::Reuse(COpenGLTexture* texture) {
    {
        std::lock_guard<std::recursive_mutex> lock(Lock());
        if (texture->fPool && ReuseLocked(texture)) return;
    }
    delete texture;
}

bool COpenGLTexturePool::ReuseLocked(COpenGLTexture* texture) {
    for (uint32_t i = fTextures.Count(); i > fFreeCount; --i) {
        if (fTextures[i - 1] == texture) {
            fTextures.Move(i - 1, fFreeCount);
            ++fFreeCount;
            return true;
        }
    }
    // Made with the pool but never handed out by it (COpenGLTexture::New with a pool): not the
    // pool's to keep, so it goes like an unpooled texture rather than leaking its name.
    texture->fPool = nullptr;
    return false;
}

void COpenGLTexturePool::Relinquish() {
    CPointerArray<COpenGLTexture> unused;
    {
        std::lock_guard<std::recursive_mutex> lock(Lock());
        while (fTextures.Count() > fFreeCount) {
            uint32_t last = fTextures.Count() - 1;
            fTextures[last]->fPool = nullptr;
            fTextures.Remove(last);
        }
        for (COpenGLTexture* texture : fTextures) {
            texture->fPool = nullptr;
            unused.Append(texture);
        }
        fTextures.RemoveAll();
        fFreeCount = 0;
    }
    unused.DeleteAll();
}

uint32_t COpenGLTexturePool::count() const {
    std::lock_guard<std::recursive_mutex> lock(Lock());
    return fTextures.Count();
}

uint32_t COpenGLTexturePool::freeCount() const {
    std::lock_guard<std::recursive_mutex> lock(Lock());
    return fFreeCount;
}
