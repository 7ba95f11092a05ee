#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "Platform/AppKit/headless/HeadlessBackend.h"

// Screen lists from the environment: parsed within bounds, and every accepted screen is sane.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    plat::headless::HeadlessBackend backend;
    if (!backend.ConfigureScreens(text.c_str())) return 0;
    for (const plat::Screen& s : backend.Screens()) {
        if (!(s.frame.width > 0 && s.frame.height > 0)) std::abort();
        if (!(s.visibleFrame.height > 0 && s.visibleFrame.MaxY() == s.frame.MaxY())) std::abort();
    }
    if (backend.Screens().size() > 16) std::abort();
    return 0;
}
