#pragma once

#include <vector>

#include "Specific/Graph/CFD/CCFD_GL.h"

namespace cfd {

// Two immiscible phases on the CCFD_GL grid, told apart by a signed-distance field D (D < 0 phase
// 0, D > 0 phase 1) kept in a texture pair. A step predicts the velocity with per-cell density and
// viscosity and surface tension, projects with the base's passes, advects D and re-initialises it
// towards a distance function. Srv holds per cell (smoothed sign S, reciprocal density, viscosity);
// it is recomputed (SignD) whenever D changes, so density changes take effect from then on.
class CLSM_GL final : public CCFD_GL {
public:
    // Half the interface thickness, in cells.
    static constexpr float kBoundThick = 1.3f;
    // Densities below this (or not a number) are taken as this, keeping 1/density finite.
    static constexpr float kMinDensity = 1e-3f;

    CLSM_GL() = default;
    ~CLSM_GL() override = default;

    // Also clears D, recomputes Srv and forgets the recorded volume.
    [[nodiscard]] bool SetSize(uint32_t W, uint32_t H);
    void Step(bool freeze);
    void SetObstacle(CExtTex& image) override;
    // Phase 1 where the image's red is above 0.5, phase 0 elsewhere (D = +-1).
    void SetPhase(CExtTex& image);
    // W x H values into the current D.
    void SetLevelSet(const float* values);
    void ReInitLevelSet(uint32_t iterations);
    // Records the phase-1 volume (record), or nudges D towards the recorded volume; without a volume
    // recorded since the last SetSize the correction does nothing.
    void CorrectVolume(bool record);
    void SignD();

    void SetDensity(uint32_t phase, float density);
    float Density(uint32_t phase) const { return fDensity[phase & 1]; }
    uint32_t DName() const { return fD[fDCur]; }
    uint32_t SrvName() const { return fSrv; }
    float TargetVolume() const { return fTargetVolume; }
    // The last sums of CorrectVolume: interface measure and phase-1 volume.
    float LastArea() const { return fLastArea; }
    float LastVolume() const { return fLastVolume; }

    int32_t fSidePhase[4] = {0, 0, 0, 0};  // -1 phase 0, 0 any, +1 phase 1
    float fSurfaceTension = 0.073f;
    float fKv[2] = {0, 0};

protected:
    bool BuildPrograms() override;
    void DeletePrograms() override;
    void DeleteFields() override;

private:
    // With the new D attached and the old one bound on unit 1.
    void AdjDSides();
    void SignDPass();
    void ReInitPasses(uint32_t iterations);

    uint32_t fD[2] = {0, 0};
    uint32_t fSrv = 0;
    plugin::PlugInProgram fFS_Srv, fFS_R, fFS_V, fFS_L, fFS_Di, fFS_Dbc, fFS_Vc, fFS_Ph, fFS_Ph_R;
    uint32_t fDCur = 0;
    float fDensity[2] = {1, 1};
    float fTargetVolume = 0;
    bool fTargetRecorded = false;
    float fLastArea = 0, fLastVolume = 0;
    std::vector<float> fSBuffer, fWBuffer;
};

}  // namespace cfd
