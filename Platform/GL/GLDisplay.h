#pragma once

namespace plat {

// The process-wide EGL display every GL object of this folder lives on. Headless processes use
// Mesa's surfaceless platform; a windowing backend may install its own display before the first use.
class GLDisplay {
public:
    // The initialised display with the desktop OpenGL API bound on the calling thread, or null.
    static void* Get();
    // Installs a display the windowing backend has opened; only before the first Get. With
    // windowSurfaces, pixel formats also ask for window surfaces.
    [[nodiscard]] static bool Install(void* eglDisplay, bool windowSurfaces = false);
    // Whether the installed display makes window surfaces.
    static bool WindowSurfaces();
    // Binds desktop OpenGL as the calling thread's EGL API (done once per thread).
    static void BindAPI();
};

}  // namespace plat
