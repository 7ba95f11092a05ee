#include "Platform/AppKit/Backend.h"

#include <cstdlib>
#include <cstring>

#include "Platform/AppKit/headless/HeadlessBackend.h"

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
    // The X11 backend is not built yet; every request gets the headless one.
    return new headless::HeadlessBackend;
}

}  // namespace plat
