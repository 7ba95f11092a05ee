#pragma once

#include <atomic>
#include <cstdint>

#include "Common/Memory/CRefObj.h"
#include "Platform/Foundation/Object.h"

class COpenGLContext_Cca;
class COpenGLTexturePool;

// Owner of one texture name; a pooled texture goes back to its pool on its last release.
class COpenGLTexture : public CRefObj {
public:
    // A new texture with a fresh name made on the common context, or null.
    static plat::Ref<COpenGLTexture> New(COpenGLContext_Cca& context, unsigned target,
                                         COpenGLTexturePool* pool);
    ~COpenGLTexture() override;

    // The name for this target; a texture asked for another target gets a new name.
    unsigned Prepare(COpenGLContext_Cca& context, unsigned target);

    unsigned target() const { return fTarget; }
    unsigned name() const { return fName; }
    // The owning pool, or null once detached (read under the pool lock).
    COpenGLTexturePool* pool() const;

    // The pool must see the last release, which CRefObj's release would turn into a delete, so
    // textures keep their own count. Hold them through CRefH<COpenGLTexture>.
    void Retain() const { fRefs.fetch_add(1, std::memory_order_relaxed); }
    void Release() const;
    int32_t RetainCount() const { return fRefs.load(std::memory_order_relaxed); }

    // Called at the last release: back to the pool, or deleted when not pooled.
    virtual void Free();

protected:
    COpenGLTexture(unsigned target, unsigned name, COpenGLTexturePool* pool)
        : fTarget(target), fName(name), fPool(pool) {}

private:
    friend class COpenGLTexturePool;

    mutable std::atomic<int32_t> fRefs{1};
    unsigned fTarget;
    unsigned fName;
    COpenGLTexturePool* fPool;  // guarded by the pool lock
};
