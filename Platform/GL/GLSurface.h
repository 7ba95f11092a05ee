#pragma once

#include <cstdint>

#include "Platform/Foundation/Object.h"

namespace plat {

class GLPixelFormat;

// A drawable a context renders into. The offscreen kind is an EGL pixel-buffer surface; windowing
// backends derive their window surfaces from this class.
class GLSurface : public Object {
public:
    // An owned reference, or null when the size is not positive or EGL refuses.
    static GLSurface* CreateOffscreen(GLPixelFormat* format, int32_t width, int32_t height);

    int32_t Width() const { return fWidth; }
    int32_t Height() const { return fHeight; }
    void* NativeSurface() const { return fSurface; }

    // Gives the surface a new size. A context that is current with it on this thread is bound again.
    virtual bool Resize(int32_t width, int32_t height);

protected:
    GLSurface(GLPixelFormat* format, void* surface, int32_t width, int32_t height);
    ~GLSurface() override;

    GLPixelFormat* fFormat;
    void* fSurface;
    int32_t fWidth;
    int32_t fHeight;
};

// What a window offers for GL drawing; the AppKit backends implement it on their windows.
class GLWindowHost {
public:
    // An owned reference to a surface of the given size for this window, or null.
    virtual GLSurface* CreateGLSurface(GLPixelFormat* format, int32_t width, int32_t height) = 0;

protected:
    ~GLWindowHost() = default;
};

// The headless window host: every window surface is an offscreen surface.
class OffscreenGLWindowHost final : public GLWindowHost {
public:
    GLSurface* CreateGLSurface(GLPixelFormat* format, int32_t width, int32_t height) override {
        return GLSurface::CreateOffscreen(format, width, height);
    }
};

}  // namespace plat
