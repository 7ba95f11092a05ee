#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "Lib3/LSources/CoreUI/CLRect.h"
#include "Platform/Foundation/Object.h"

namespace plat {
class GLContext;
class GLPixelFormat;
class GLSurface;
class GLWindowHost;
struct GLSurfaceRect;
}  // namespace plat
class CRgn;

// Pixel-format options; a null pointer means all zero.
struct SOpenGLOp {
    uint8_t depthBits;  // 0: no depth buffer
    uint8_t samples;    // 2 or more: multisample with that many samples
    uint8_t syncSwap;   // non-zero: swap interval 1 (window contexts)
};

// One GL context with its pixel format and lock. Contexts made while a shared context is
// registered join its share group and borrow its lock, so all GL work is serialised by one lock.
class COpenGLContext_Cca {
public:
    using Mutex = std::recursive_mutex;

    // A window context when window is non-null (its surface comes from the window), else offscreen.
    COpenGLContext_Cca(plat::GLWindowHost* window, const SOpenGLOp* op);
    // Wraps a context a host hands over (retained), with a lock of its own.
    COpenGLContext_Cca(plat::GLContext* context, unsigned unused);
    virtual ~COpenGLContext_Cca();
    COpenGLContext_Cca(const COpenGLContext_Cca&) = delete;
    COpenGLContext_Cca& operator=(const COpenGLContext_Cca&) = delete;

    virtual bool valid() const { return fContext != nullptr; }
    // True only for a window context whose place is empty.
    virtual bool empty() const { return fWindow && fPlace.IsEmpty(); }
    // Places a window context's surface at the rectangle (window coordinates, top-down); visible is
    // the part of the window where the surface may be seen. A surface partly hidden goes below the
    // window, which clears holes where it shows. An offscreen context only sets the viewport.
    virtual void SetPlace(const CLRect& rect, const CRgn& visible);
    // Presents the surface; call inside a scope.
    virtual void Swap();

    plat::GLContext* glcontext() const { return fContext.get(); }
    plat::GLPixelFormat* pixelformat() const { return fFormat.get(); }
    bool multisample() const { return fMultisample; }
    const CLRect& place() const { return fPlace; }
    // The holes of a surface below its window, in surface coordinates; empty when not overlapped.
    bool clipped() const { return fClipped; }
    Mutex& lock() const { return *fLock; }
    bool lockBorrowed() const { return fLockBorrowed; }

    // Registers the context later contexts share objects and the lock with; null clears it.
    static void SetShared(COpenGLContext_Cca* context);
    static COpenGLContext_Cca* Shared();

private:
    void SetupRect(const CLRect& rect, const CRgn& visible);
    void SetupClips(const CLRect& rect, const CRgn& visible);

    plat::Ref<plat::GLContext> fContext;
    plat::Ref<plat::GLPixelFormat> fFormat;
    Mutex* fLock = nullptr;
    bool fMultisample = false;
    bool fLockBorrowed = false;
    bool fClipped = false;
    CLRect fPlace;
    plat::GLWindowHost* fWindow = nullptr;
    plat::Ref<plat::GLSurface> fSurface;
};

// The process's one offscreen context in whose share group shared GL objects are made and deleted.
class COpenGLCommonCtx {
public:
    // Made on first use, deleted at process exit.
    static COpenGLContext_Cca* Use();
};
