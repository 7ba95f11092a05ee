#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreString/LString.h"

// What a clip name (a media unit's image-parameter value, from documents, OSC or HTTP) asks for.
struct SClipKind {
    enum Kind : uint32_t { kFile, kColorFill, kMixBuffer, kVideoInput, kLocalTap };
    Kind kind = kFile;
    // ".videoinput" N: N (strtol; letters read as 0); -1 when the number is negative or too large
    // to be a slot.
    int32_t videoSlot = -1;
};

// ".colorfill", ".mixbuffer", ".videoinput" + N, ".localtap"; anything else names a file.
SClipKind ClassifyClip(const LString& name);
