#pragma once

#include "Specific/Graph/CFD/CCFD_GL.h"

namespace cfd {

// Single-phase incompressible Navier-Stokes on the CCFD_GL grid: semi-Lagrangian advection,
// viscosity, forces, then the base's pressure projection.
class CNS_GL final : public CCFD_GL {
public:
    CNS_GL() = default;
    ~CNS_GL() override = default;

    [[nodiscard]] bool SetSize(uint32_t W, uint32_t H) { return SetSize_(W, H); }
    void Step();

    float fViscosity = 0;  // kinematic, cells^2 per second

protected:
    bool BuildPrograms() override;
    void DeletePrograms() override;

private:
    plugin::PlugInProgram fFS_R, fFS_V;
};

}  // namespace cfd
