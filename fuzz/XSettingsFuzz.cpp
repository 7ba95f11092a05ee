#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "Platform/AppKit/x11/X11Settings.h"

// XSETTINGS blobs from another program: parsed within bounds; a scale is always 0-3. The same bytes
// as an Xft.dpi value and a resource string.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    plat::x11::X11Settings settings;
    if (settings.Parse(data, size)) {
        if (settings.Settings().size() > plat::x11::X11Settings::kMaxSettings) std::abort();
        for (const auto& s : settings.Settings())
            if (s.name.size() > plat::x11::X11Settings::kMaxName ||
                s.text.size() > plat::x11::X11Settings::kMaxString)
                std::abort();
        const int32_t scale = settings.Scale();
        if (scale < 0 || scale > 3) std::abort();
    }
    const std::string text(reinterpret_cast<const char*>(data), size);
    const int32_t dpi = plat::x11::X11Settings::ScaleFromDpiText(plat::x11::X11Settings::DpiResource(text));
    if (dpi < 0 || dpi > 3) std::abort();
    const int32_t chosen = plat::x11::X11Settings::ChooseScale(text.c_str(), dpi, 0);
    if (chosen < 1 || chosen > 3) std::abort();
    return 0;
}
