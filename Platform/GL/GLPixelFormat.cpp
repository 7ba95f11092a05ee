#include "Platform/GL/GLPixelFormat.h"

#include <epoxy/egl.h>

#include "Platform/GL/GLDisplay.h"

namespace plat {

Ref<GLPixelFormat> GLPixelFormat::Create(const GLPixelFormatAttributes& attributes) {
    auto display = static_cast<EGLDisplay>(GLDisplay::Get());
    if (!display) return nullptr;
    const EGLint surfaces = GLDisplay::WindowSurfaces() ? EGL_PBUFFER_BIT | EGL_WINDOW_BIT : EGL_PBUFFER_BIT;
    const EGLint wanted[] = {EGL_SURFACE_TYPE,
                             surfaces,
                             EGL_RENDERABLE_TYPE,
                             EGL_OPENGL_BIT,
                             EGL_RED_SIZE,
                             8,
                             EGL_GREEN_SIZE,
                             8,
                             EGL_BLUE_SIZE,
                             8,
                             EGL_ALPHA_SIZE,
                             8,
                             EGL_DEPTH_SIZE,
                             attributes.depthBits,
                             EGL_NONE};
    EGLConfig config = nullptr;
    EGLint count = 0;
    if (!eglChooseConfig(display, wanted, &config, 1, &count) || count < 1) return nullptr;

    Ref<GLPixelFormat> format = Adopt(new GLPixelFormat);
    format->fConfig = config;
    EGLint depth = 0;
    eglGetConfigAttrib(display, config, EGL_DEPTH_SIZE, &depth);
    format->fDepthBits = depth;
    format->fSamples = attributes.samples;
    format->fDoubleBuffer = attributes.doubleBuffer;
    return format;
}

}  // namespace plat
