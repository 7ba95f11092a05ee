#pragma once

#include <cstdint>

#include "Platform/Composer/PlugInInterface.h"
#include "Specific/Graph/CFD/CCFD_GL.h"

// The fluid patches' input ports, read and made safe for the solver: sides below 3 count as 3 and
// above kMaxGridSide as that; Jr is capped; dt is at least its minimum; numbers that are not finite
// take the port's default; a pressure multiplier of 0 or one that is not finite turns the pressure
// image off. Densities pass as they are (the solver bounds them).
struct SFluidInputs {
    static constexpr uint32_t kMinGridSide = 3;
    static constexpr uint32_t kMaxGridSide = 4096;
    static constexpr uint32_t kMaxIterations = 1000;
    static constexpr double kDefaultDt = 0.017;
    static constexpr double kMinDt = 0.000001;
    static constexpr uint32_t kDefaultIterations = 10;

    uint32_t width = kMinGridSide, height = kMinGridSide;
    uint32_t iterations = kDefaultIterations;
    double dt = kDefaultDt;
    float viscosity = 0;
    float density[2] = {0, 0};
    float phaseViscosity[2] = {0, 0};
    float surfaceTension = 0;
    float fg[2] = {0, 0}, fo[2] = {0, 0}, fm[2] = {0, 0};
    cfd::CCFD_GL::SSide sides[4];
    int32_t sidePhase[4] = {0, 0, 0, 0};
    uint32_t forceDim = 0;
    bool pressureOn = false;
    float pressureMultiplier = 0;

    static SFluidInputs Read(const plat::PlugInPorts& ports, bool twoPhase);
    // Everything but the size into the solver's settings (the viscosity only for one phase).
    void ApplyTo(cfd::CCFD_GL& solver) const;
};

// The aspect of the calculation cells of a solver's grid.
float GridAspect(const cfd::CCFD_GL& solver);
