#include "Orbilume/CSources/Engine/UClipName.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

SClipKind ClassifyClip(const LString& name) {
    SClipKind k;
    const std::string text(name.CStr(), name.Length());
    if (text == ".colorfill") {
        k.kind = SClipKind::kColorFill;
    } else if (text == ".mixbuffer") {
        k.kind = SClipKind::kMixBuffer;
    } else if (text == ".localtap") {
        k.kind = SClipKind::kLocalTap;
    } else if (text.rfind(".videoinput", 0) == 0) {
        k.kind = SClipKind::kVideoInput;
        errno = 0;
        const long n = std::strtol(text.c_str() + std::strlen(".videoinput"), nullptr, 10);
        k.videoSlot = errno == 0 && n >= 0 && n <= INT32_MAX ? static_cast<int32_t>(n) : -1;
    }
    return k;
}
