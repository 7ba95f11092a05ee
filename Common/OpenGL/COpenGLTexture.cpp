#include "Common/OpenGL/COpenGLTexture.h"

#include <epoxy/gl.h>

#include "Common/OpenGL/COpenGLContext_Cca.h"
#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Common/OpenGL/COpenGLTexturePool.h"
#include "Platform/GL/GLObjectCounts.h"

namespace {

// Binding a fresh name once fixes its target.
GLuint MakeName(GLenum target) {
    GLuint name = 0;
    glGenTextures(1, &name);
    plat::CountGLTextures();
    if (!name) return 0;
    glBindTexture(target, name);
    glBindTexture(target, 0);
    return name;
}

}  // namespace

plat::Ref<COpenGLTexture> COpenGLTexture::New(COpenGLContext_Cca&, unsigned target,
                                              COpenGLTexturePool* pool) {
    GLuint name;
    {
        COpenGLScope_Cca scope(*COpenGLCommonCtx::Use());
        name = MakeName(target);
    }
    if (!name) return nullptr;
    return plat::Adopt(new COpenGLTexture(target, name, pool));
}

COpenGLTexture::~COpenGLTexture() {
    if (!fName) return;
    COpenGLScope_Cca scope(*COpenGLCommonCtx::Use());
    glDeleteTextures(1, &fName);
}

unsigned COpenGLTexture::Prepare(COpenGLContext_Cca&, unsigned target) {
    if (fName && fTarget == target) return fName;
    COpenGLScope_Cca scope(*COpenGLCommonCtx::Use());
    if (fName) glDeleteTextures(1, &fName);
    fName = MakeName(target);
    fTarget = target;
    return fName;
}

COpenGLTexturePool* COpenGLTexture::pool() const {
    std::lock_guard<std::recursive_mutex> lock(COpenGLTexturePool::Lock());
    return fPool;
}

void COpenGLTexture::Release() const {
    if (fRefs.fetch_sub(1, std::memory_order_acq_rel) == 1) const_cast<COpenGLTexture*>(this)->Free();
}

void COpenGLTexture::Free() {
    {
        // The pool pointer is read and used under the lock: a pool being destroyed detaches its
        // textures under the same lock, so it is either still whole here or already gone from fPool.
        std::lock_guard<std::recursive_mutex> lock(COpenGLTexturePool::Lock());
        if (fPool && fPool->ReuseLocked(this)) return;
    }
    delete this;
}
