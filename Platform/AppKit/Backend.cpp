#include "Platform/AppKit/Backend.h"

#include <cstdlib>
#include <cstring>

#include "Platform/AppKit/headless/HeadlessBackend.h"
#include "Platform/GL/GLSurface.h"
#include "Platform/AppKit/x11/X11Backend.h"

namespace plat {

namespace {
Backend* gBackend = nullptr;
}

Backend* CurrentBackend() {
    return gBackend;
}

void SetBackend(Backend* backend) {
    gBackend = backend;
}

const char* BackendNameFromEnvironment() {
    const char* forced = std::getenv("ORBILUME_PLATFORM");
    if (forced && std::strcmp(forced, "x11") == 0) return "x11";
    if (forced && std::strcmp(forced, "headless") == 0) return "headless";
    const char* display = std::getenv("DISPLAY");
    return display && display[0] ? "x11" : "headless";
}

Backend* MakeBackendFromEnvironment() {
    if (std::strcmp(BackendNameFromEnvironment(), "x11") == 0)
        if (Backend* b = x11::X11Backend::Open()) return b;
    return new headless::HeadlessBackend;
}

GLSurface* Backend::CreateGLSurface(Window*, GLPixelFormat* format, int32_t width, int32_t height) {
    return GLSurface::CreateOffscreen(format, width, height);
}

}  // namespace plat
