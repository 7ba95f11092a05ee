#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/LHandleBase.h"
#include "Lib3/LSources/CoreUI/LColor.h"

// A shared colour specification: a theme colour number (0 text, 1 selected text, 2 and 8 disabled
// control text, 3 white, 4 black, 5 grey, 6 control text, 7 selected control text) or 255 with an
// explicit RGB triple.
class LColorSpecData : public LHandleData {
public:
    LColorSpecData(uint32_t kind, const LRGB& rgb) : kind(kind), rgb(rgb) {}
    const uint32_t kind;
    const LRGB rgb;
};

class LColorSpec : public LHandleBase {
public:
    static constexpr uint32_t kRGB = 255;

    LColorSpec() = default;
    static LColorSpec MakeIndexed(uint32_t theme);
    static LColorSpec MakeRGB(const LRGB& rgb);

    const LColorSpecData* Get() const { return static_cast<const LColorSpecData*>(Data()); }
    // Null specifications are equal; otherwise kind and colour bytes decide.
    friend bool operator==(const LColorSpec& a, const LColorSpec& b);

    // The colour to draw with; an empty colour (the drawing default, black) for a null spec.
    LColor Resolve() const;

private:
    explicit LColorSpec(LColorSpecData* data) : LHandleBase(data) {}
};
