#pragma once

#include <memory>

#include "Pelvane/CFluidClock.h"
#include "Platform/Composer/PlugInInterface.h"
#include "Specific/Graph/CFD/CNS_GL.h"

// The "Pelvane" patch: single-phase flow (CNS_GL) fed by force, obstacle and pressure images,
// stepped in fixed steps locked to the patch time; publishes the GL names of U and P, valid in the
// host's share group. The solver and its context are made at start and released at stop.
class PelvanePlugIn final : public plat::PlugInPatch {
public:
    bool Start(plat::PlugInContext& context) override;
    bool Execute(plat::PlugInContext& context, double time, plat::PlugInPorts& ports,
                 const plat::PlugInStructure& arguments) override;
    void Stop(plat::PlugInContext& context) override;

    const cfd::CNS_GL* Solver() const { return fNsgl.get(); }

private:
    std::unique_ptr<cfd::CNS_GL> fNsgl;
    CFluidClock fClock;
    uint32_t fWidth = 0, fHeight = 0;  // the size asked of the solver
};

class PelvanePlugInClass final : public plat::PlugInPatchClass {
public:
    const char* Name() const override { return "Pelvane"; }
    plat::PlugInAttributes Attributes() const override { return {"Pelvane", "Pelvane", "Orbilume"}; }
    std::vector<plat::PlugInPortDescription> Ports() const override;
    plat::PlugInExecutionMode ExecutionMode() const override { return plat::PlugInExecutionMode::Provider; }
    plat::PlugInTimeMode TimeMode() const override { return plat::PlugInTimeMode::TimeBase; }
    std::unique_ptr<plat::PlugInPatch> CreatePatch() const override {
        return std::make_unique<PelvanePlugIn>();
    }
};
