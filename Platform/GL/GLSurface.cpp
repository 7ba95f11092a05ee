#include "Platform/GL/GLSurface.h"

#include <epoxy/egl.h>

#include "Platform/GL/GLContext.h"
#include "Platform/GL/GLDisplay.h"
#include "Platform/GL/GLPixelFormat.h"

namespace plat {

namespace {

constexpr int32_t kMaxSide = 16384;

EGLSurface MakePbuffer(GLPixelFormat* format, int32_t width, int32_t height) {
    auto display = static_cast<EGLDisplay>(GLDisplay::Get());
    if (!display || !format || width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide)
        return EGL_NO_SURFACE;
    const EGLint attributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
    return eglCreatePbufferSurface(display, static_cast<EGLConfig>(format->NativeConfig()), attributes);
}

}  // namespace

Ref<GLSurface> GLSurface::CreateOffscreen(GLPixelFormat* format, int32_t width, int32_t height,
                                          int32_t scale) {
    if (scale < 1 || scale > 3 || width > kMaxSide || height > kMaxSide) return nullptr;
    EGLSurface surface = MakePbuffer(format, width * scale, height * scale);
    if (surface == EGL_NO_SURFACE) return nullptr;
    auto* s = new GLSurface(format, surface, width, height);
    s->fScale = scale;
    return Adopt(s);
}

GLSurface::GLSurface(GLPixelFormat* format, void* surface, int32_t width, int32_t height)
    : fFormat(format), fSurface(surface), fWidth(width), fHeight(height) {}

GLSurface::~GLSurface() {
    if (fSurface) eglDestroySurface(static_cast<EGLDisplay>(GLDisplay::Get()), fSurface);
}

bool GLSurface::Resize(int32_t width, int32_t height) {
    if (width == fWidth && height == fHeight) return true;
    if (width > kMaxSide || height > kMaxSide) return false;
    EGLSurface surface = MakePbuffer(fFormat.get(), width * fScale, height * fScale);
    if (surface == EGL_NO_SURFACE) return false;
    EGLSurface old = fSurface;
    fSurface = surface;
    fWidth = width;
    fHeight = height;
    GLContext* current = GLContext::Current();
    bool bound = !(current && current->Surface() == this) || current->MakeCurrent();
    eglDestroySurface(static_cast<EGLDisplay>(GLDisplay::Get()), old);
    return bound;
}

}  // namespace plat
