#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreString/LString.h"

// A font as the font panel hands it over: the face's PostScript name, its family, its size in
// points and its bold and italic flags. A new one has empty names, size 0 and both flags clear;
// a size of 0 or less (or NaN) asks for the default size.
struct SFontDesc {
    LString fontName;
    LString familyName;
    float size = 0;
    uint8_t bold = 0;
    uint8_t italic = 0;
};
