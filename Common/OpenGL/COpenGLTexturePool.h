#pragma once

#include <cstdint>
#include <mutex>

#include "Common/Container/CPointerArray.h"
#include "Common/Memory/CRefObj.h"
#include "Platform/Foundation/Object.h"

class COpenGLContext_Cca;
class COpenGLTexture;

// Recycles textures of one target and size. Entries [0, free count) are free (count 0, kept with
// their storage); the rest are handed out. The most recently returned texture is handed out next.
// Lock order: the GL lock before the pool lock; no GL work happens under the pool lock.
class COpenGLTexturePool : public CRefObj {
public:
    explicit COpenGLTexturePool(unsigned target);
    ~COpenGLTexturePool() override;

    virtual plat::Ref<COpenGLTexture> New(COpenGLContext_Cca& context);

    // Sets the size of the pool's textures; a new size drops the free ones and detaches the others.
    int magic(unsigned width, unsigned height);
    // A texture, or null. Callers specify its storage at the pool's size every time they take one.
    plat::Ref<COpenGLTexture> AllocTexture(COpenGLContext_Cca& context, unsigned unused = 0);
    // Takes back a texture whose count reached 0.
    void Reuse(COpenGLTexture* texture);
    // Deletes the free textures and detaches the handed-out ones (deleted at their last release).
    void Relinquish();

    unsigned target() const { return fTarget; }
    uint32_t count() const;
    uint32_t freeCount() const;

    // The one process-wide lock of every pool (recursive).
    static std::recursive_mutex& Lock();

private:
    friend class COpenGLTexture;
    // False when the texture is not one the pool handed out; the caller then deletes it.
    bool ReuseLocked(COpenGLTexture* texture);

    CPointerArray<COpenGLTexture> fTextures;
    uint32_t fFreeCount = 0;
    unsigned fTarget;
    unsigned fWidth = 0;
    unsigned fHeight = 0;
};
