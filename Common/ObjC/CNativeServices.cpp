#include "Common/ObjC/CNativeServices.h"

#include <cmath>
#include <string>

#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Platform/AppKit/Theme.h"
#include "Platform/Foundation/FileRef.h"
#include "Platform/Foundation/URLOpener.h"

namespace {

std::string PathOf(const LFsSpec& spec) {
    const LString path = CMacFileU::PathFromLFsSpec(spec);
    return std::string(path.CStr(), path.Length());
}

uint8_t Byte(double v) {
    return uint8_t(std::lround(std::fmin(std::fmax(v, 0.0), 1.0) * 255));
}

}  // namespace

plat::GfxColor NativeColorForSpec(const LColorSpec& spec) {
    const plat::theme::Palette& p = plat::theme::Colours();
    const LColorSpecData* d = spec.Get();
    if (!d) return p.text;
    switch (d->kind) {
        case 1:
            return p.selectedText;
        case 2:
        case 8:
            return p.disabledText;
        case 3:
            return {1, 1, 1, 1};
        case 4:
            return {0, 0, 0, 1};
        case 5:
            return {0.5, 0.5, 0.5, 1};
        case 6:
            return p.text;
        case 7:
            return p.accentText;
        case LColorSpec::kRGB:
            return {d->rgb.red / 255.0, d->rgb.green / 255.0, d->rgb.blue / 255.0, 1};
        default:
            return p.text;
    }
}

LRGB SelectionBackgroundRGB() {
    const plat::GfxColor c = plat::theme::Colours().selectedTextBackground;
    return LRGB(Byte(c.red), Byte(c.green), Byte(c.blue));
}

bool RevealFile(const LFsSpec& spec) {
    std::string path = PathOf(spec);
    if (path.empty() || path[0] != '/') return false;
    const size_t slash = path.find_last_of('/');
    path = slash == 0 ? "/" : path.substr(0, slash);
    return plat::OpenURL(plat::URL::FileURLWithPath(path, false).String());
}

bool OpenFile(const LFsSpec& spec) {
    const std::string path = PathOf(spec);
    if (path.empty() || path[0] != '/') return false;
    return plat::OpenURL(plat::URL::FileURLWithPath(path, false).String());
}
