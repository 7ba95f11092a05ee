#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "Platform/Foundation/Object.h"

namespace plat {

class GLPixelFormat;

// A rectangle in a surface's own coordinates (the units of its size), top-down.
struct GLSurfaceRect {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
    friend bool operator==(const GLSurfaceRect&, const GLSurfaceRect&) = default;
};

// Whether a window surface is shown over the window's own drawing, or under it with holes.
enum class GLSurfaceOrder : int32_t { kBelowWindow = -1, kAboveWindow = 1 };

// A drawable a context renders into. The offscreen kind is an EGL pixel-buffer surface; windowing
// backends derive their window surfaces from this class.
class GLSurface : public Object {
public:
    // An owned reference, or null when the size is not positive or EGL refuses. With a scale, a
    // pixel-buffer surface of scale × as many pixels each way (1-3).
    static Ref<GLSurface> CreateOffscreen(GLPixelFormat* format, int32_t width, int32_t height,
                                          int32_t scale = 1);

    int32_t Width() const { return fWidth; }
    int32_t Height() const { return fHeight; }
    // Pixels per unit of the size, origin and clips: a window surface on a dense display renders
    // PixelWidth() × PixelHeight() pixels (its viewport); 1 unless made at a scale.
    int32_t Scale() const { return fScale; }
    int32_t PixelWidth() const { return fWidth * fScale; }
    int32_t PixelHeight() const { return fHeight * fScale; }
    void* NativeSurface() const { return fSurface; }

    // Gives the surface a new size. A context that is current with it on this thread is bound again.
    [[nodiscard]] virtual bool Resize(int32_t width, int32_t height);

    // Placement inside a window, read by the windowing backend when it composes the window: the
    // top-left corner in window coordinates, the order, and for a surface below the window the
    // holes the window clears so that the surface shows through.
    int32_t X() const { return fX; }
    int32_t Y() const { return fY; }
    void SetOrigin(int32_t x, int32_t y) {
        fX = x;
        fY = y;
    }
    GLSurfaceOrder Order() const { return fOrder; }
    void SetOrder(GLSurfaceOrder order) { fOrder = order; }
    const std::vector<GLSurfaceRect>& Clips() const { return fClips; }
    void SetClips(std::vector<GLSurfaceRect> clips) { fClips = std::move(clips); }

protected:
    GLSurface(GLPixelFormat* format, void* surface, int32_t width, int32_t height);
    ~GLSurface() override;

    Ref<GLPixelFormat> fFormat;
    void* fSurface;
    int32_t fWidth;
    int32_t fHeight;
    int32_t fScale = 1;
    int32_t fX = 0;
    int32_t fY = 0;
    GLSurfaceOrder fOrder = GLSurfaceOrder::kAboveWindow;
    std::vector<GLSurfaceRect> fClips;
};

// What a window offers for GL drawing; the AppKit backends implement it on their windows.
class GLWindowHost {
public:
    // An owned reference to a surface of the given size for this window, or null.
    virtual Ref<GLSurface> CreateGLSurface(GLPixelFormat* format, int32_t width, int32_t height) = 0;
    // A surface below the window needs a window that is not opaque where the holes are.
    virtual void SetGLWindowOpaque(bool opaque) { (void)opaque; }
    // The surface's holes changed: the window draws again.
    virtual void GLSurfaceNeedsDisplay(GLSurface* surface) { (void)surface; }

protected:
    ~GLWindowHost() = default;
};

// The headless window host: every window surface is an offscreen surface.
class OffscreenGLWindowHost final : public GLWindowHost {
public:
    Ref<GLSurface> CreateGLSurface(GLPixelFormat* format, int32_t width, int32_t height) override {
        return GLSurface::CreateOffscreen(format, width, height);
    }
};

}  // namespace plat
