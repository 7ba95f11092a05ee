#include "Platform/GL/GLDisplay.h"

#include <epoxy/egl.h>

#include <mutex>

namespace plat {

namespace {

std::mutex gMutex;
EGLDisplay gDisplay = EGL_NO_DISPLAY;
bool gTried = false;
bool gWindows = false;

EGLDisplay OpenSurfaceless() {
    EGLDisplay display = EGL_NO_DISPLAY;
    if (epoxy_has_egl_extension(EGL_NO_DISPLAY, "EGL_MESA_platform_surfaceless"))
        display = eglGetPlatformDisplayEXT(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display == EGL_NO_DISPLAY) display = eglGetDisplay(EGL_DEFAULT_DISPLAY);
    return display;
}

}  // namespace

void* GLDisplay::Get() {
    {
        std::lock_guard<std::mutex> lock(gMutex);
        if (!gTried) {
            gTried = true;
            EGLDisplay display = OpenSurfaceless();
            EGLint major = 0, minor = 0;
            if (display != EGL_NO_DISPLAY && eglInitialize(display, &major, &minor)) gDisplay = display;
        }
    }
    if (gDisplay == EGL_NO_DISPLAY) return nullptr;
    BindAPI();
    return gDisplay;
}

bool GLDisplay::Install(void* eglDisplay, bool windowSurfaces) {
    std::lock_guard<std::mutex> lock(gMutex);
    if (gTried || !eglDisplay) return false;
    EGLint major = 0, minor = 0;
    if (!eglInitialize(static_cast<EGLDisplay>(eglDisplay), &major, &minor)) return false;
    gTried = true;
    gDisplay = static_cast<EGLDisplay>(eglDisplay);
    gWindows = windowSurfaces;
    return true;
}

bool GLDisplay::WindowSurfaces() {
    std::lock_guard<std::mutex> lock(gMutex);
    return gWindows;
}

void GLDisplay::BindAPI() {
    thread_local bool bound = false;
    if (bound) return;
    bound = eglBindAPI(EGL_OPENGL_API) == EGL_TRUE;
}

}  // namespace plat
