#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "Orbilume/CSources/Engine/COutAdjust.h"
#include "Orbilume/CSources/Engine/CUnitParam.h"
#include "Orbilume/CSources/Engine/QuadCornerWeights.h"

// Value texts from documents, OSC and HTTP: numbers and colours stay finite, decimals in range, and
// the output adjustment's matrix and corner weights finite whatever the values. The first 32 bytes
// also serve as raw floats (ranges and corners).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const LString value(text.c_str());
    if (!std::isfinite(CUnitParam::ReadNumber(value))) std::abort();
    float rgba[4];
    CUnitParam::ParseRgba(value, rgba);
    for (float c : rgba)
        if (!std::isfinite(c)) std::abort();
    (void)CUnitParam::FormatRgba(rgba);
    (void)CUnitParam::ReadInt(value);

    float raw[8] = {};
    if (size) std::memcpy(raw, data, size < sizeof raw ? size : sizeof raw);
    if (CUnitParam::DecimalsForRange(raw[0], raw[1]) > 3) std::abort();
    SQuadPoint corners[4];
    for (int i = 0; i < 4; ++i) corners[i] = {raw[2 * i], raw[2 * i + 1]};
    float w[4];
    QuadCornerWeights(corners, w);
    for (float x : w)
        if (!std::isfinite(x) || !(x > 0)) std::abort();

    COutAdjust adjust;
    static const char* const kKeys[] = {"brt",     "sizx",    "sizy",    "posx",    "posy",    "rotz",
                                        "rotx",    "roty",    "divr",    "gmode",   "gcnrblx", "gcnrbly",
                                        "gcnrbrx", "gcnrbry", "gcnrtlx", "gcnrtly", "gcnrtrx", "gcnrtry"};
    for (size_t i = 0; i < sizeof kKeys / sizeof kKeys[0]; ++i) {
        adjust.SetKey(LString(kKeys[i]), value);
        if (i % 3 == 0) adjust.SetKey(LString(kKeys[(i * 7) % 18]), LString("90"));
    }
    double m[16];
    adjust.Matrix(raw[0], m);
    for (double x : m)
        if (!std::isfinite(x)) std::abort();
    adjust.PrepareCorners();
    for (int i = 0; i < 16; ++i)
        if (!std::isfinite(adjust.cornerTexCoords()[i])) std::abort();
    float g[4];
    adjust.Geometry(false, g);
    for (float x : g)
        if (!std::isfinite(x)) std::abort();
    return 0;
}
