#include "Pelvane/CFluidInputs.h"

#include <algorithm>
#include <cmath>

namespace {

float Finite(double value, float fallback) {
    return std::isfinite(value) ? float(value) : fallback;
}

const char* const kPx[4] = {"inputPxL", "inputPxR", "inputPxB", "inputPxT"};
const char* const kBc[4] = {"inputBcL", "inputBcR", "inputBcB", "inputBcT"};
const char* const kPr[4] = {"inputPrL", "inputPrR", "inputPrB", "inputPrT"};
const char* const kVl[4] = {"inputVlL", "inputVlR", "inputVlB", "inputVlT"};
const char* const kPh[4] = {"inputPhL", "inputPhR", "inputPhB", "inputPhT"};

}  // namespace

SFluidInputs SFluidInputs::Read(const plat::PlugInPorts& ports, bool twoPhase) {
    SFluidInputs in;
    in.width = std::clamp(ports.IndexInput("inputW"), kMinGridSide, kMaxGridSide);
    in.height = std::clamp(ports.IndexInput("inputH"), kMinGridSide, kMaxGridSide);
    in.iterations = std::min(ports.IndexInput("inputJr"), kMaxIterations);
    const double dt = ports.NumberInput("inputDt");
    in.dt = std::isfinite(dt) ? std::max(dt, kMinDt) : kDefaultDt;
    if (twoPhase) {
        in.density[0] = float(ports.NumberInput("inputR0"));
        in.density[1] = float(ports.NumberInput("inputR1"));
        in.phaseViscosity[0] = Finite(ports.NumberInput("inputKv0"), 0);
        in.phaseViscosity[1] = Finite(ports.NumberInput("inputKv1"), 0);
        in.surfaceTension = Finite(ports.NumberInput("inputSfc"), 0);
    } else {
        in.viscosity = Finite(ports.NumberInput("inputKv"), 0);
    }
    in.fg[0] = Finite(ports.NumberInput("inputFgX"), 0);
    in.fg[1] = Finite(ports.NumberInput("inputFgY"), 0);
    in.fo[0] = Finite(ports.NumberInput("inputFoX"), 0);
    in.fo[1] = Finite(ports.NumberInput("inputFoY"), 0);
    in.fm[0] = Finite(ports.NumberInput("inputFmX"), 0);
    in.fm[1] = Finite(ports.NumberInput("inputFmY"), 0);
    for (int s = 0; s < 4; ++s) {
        in.sides[s].fixPressure = ports.BoolInput(kPx[s]);
        in.sides[s].type = int32_t(std::min<uint32_t>(ports.IndexInput(kBc[s]), 0x7fffffff));
        in.sides[s].pressure = Finite(ports.NumberInput(kPr[s]), 0);
        in.sides[s].velocity = Finite(ports.NumberInput(kVl[s]), 0);
        if (twoPhase) {
            const uint32_t phase = ports.IndexInput(kPh[s]);
            in.sidePhase[s] = phase == 1 ? -1 : phase == 2 ? 1 : 0;
        }
    }
    in.forceDim = ports.IndexInput("inputFrcDim");
    const double multiplier = ports.NumberInput("inputPrsM");
    in.pressureOn = std::isfinite(multiplier) && multiplier != 0;
    in.pressureMultiplier = in.pressureOn ? float(multiplier) : 0;
    return in;
}

void SFluidInputs::ApplyTo(cfd::CCFD_GL& solver) const {
    solver.fDt = float(dt);
    solver.fIterations = iterations;
    for (int i = 0; i < 2; ++i) {
        solver.fFg[i] = fg[i];
        solver.fFo[i] = fo[i];
        solver.fFm[i] = fm[i];
    }
    for (int s = 0; s < 4; ++s) solver.fSide[s] = sides[s];
}

float GridAspect(const cfd::CCFD_GL& solver) {
    const uint32_t w = std::max(solver.W(), 3u), h = std::max(solver.H(), 3u);
    return float(w - 2) / float(h - 2);
}
