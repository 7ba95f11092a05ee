#include "Platform/AppKit/Backend.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Platform/AppKit/headless/HeadlessBackend.h"
#include "Platform/AppKit/x11/X11Backend.h"
#include "Platform/GL/GLSurface.h"
#include "Platform/Graphics/DrawContext.h"

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

std::unique_ptr<Backend> MakeBackendFromEnvironment() {
    const char* forced = std::getenv("ORBILUME_PLATFORM");
    if (forced && forced[0] && std::strcmp(forced, "x11") != 0 && std::strcmp(forced, "headless") != 0)
        std::fprintf(stderr, "orbilume: unknown ORBILUME_PLATFORM \"%s\" (x11 or headless); ignored\n",
                     forced);
    if (std::strcmp(BackendNameFromEnvironment(), "x11") == 0) {
        x11::X11Backend::Options options;
        options.glWindows = true;
        if (std::unique_ptr<x11::X11Backend> b = x11::X11Backend::Open(nullptr, options)) return b;
        const char* display = std::getenv("DISPLAY");
        std::fprintf(stderr, "orbilume: no X server answers on \"%s\"; running without a screen\n",
                     display ? display : "");
    }
    return std::make_unique<headless::HeadlessBackend>();
}

double CurrentBackingScale() {
    Backend* b = CurrentBackend();
    const double s = b ? b->BackingScale() : 1;
    return s >= 1 && s <= 8 ? s : 1;
}

Ref<DrawContext> Backend::CreateBackingStore(Window*, int32_t width, int32_t height) {
    return DrawContext::CreateImage(width, height);
}

Ref<GLSurface> Backend::CreateGLSurface(Window*, GLPixelFormat* format, int32_t width, int32_t height) {
    const double scale = BackingScale();
    return GLSurface::CreateOffscreen(format, width, height, scale >= 1 && scale <= 3 ? int32_t(scale) : 1);
}

}  // namespace plat
