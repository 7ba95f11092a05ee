#include "Lib3/LSources/CoreUI/LColorSpec.h"

LColorSpec LColorSpec::MakeIndexed(uint32_t theme) {
    return LColorSpec(new LColorSpecData(theme, LRGB()));
}

LColorSpec LColorSpec::MakeRGB(const LRGB& rgb) {
    return LColorSpec(new LColorSpecData(kRGB, rgb));
}

bool operator==(const LColorSpec& a, const LColorSpec& b) {
    const LColorSpecData* x = a.Get();
    const LColorSpecData* y = b.Get();
    if (!x || !y) return !x && !y;
    return x->kind == y->kind && x->rgb == y->rgb;
}

LColor LColorSpec::Resolve() const {
    const LColorSpecData* d = Get();
    if (!d) return LColor();
    switch (d->kind) {
        case 0:
        case 6:
            return LColor::System(7);
        case 1:
        case 7:
        case 3:
            return LColor::Grey(4);
        case 2:
        case 8:
        case 5:
            return LColor::Grey(2);
        case 4:
            return LColor(LRGB(0, 0, 0), 0);
        case kRGB:
            return LColor(d->rgb, 0);
        default:
            return LColor::System(7);
    }
}
