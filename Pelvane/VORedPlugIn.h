#pragma once

#include <memory>

#include "Pelvane/CFluidClock.h"
#include "Platform/Composer/PlugInInterface.h"
#include "Specific/Graph/CFD/CLSM_GL.h"

// The "VORed" patch: two phases (CLSM_GL) with the single-phase patch's inputs plus densities,
// viscosities, surface tension, side phases, a phase image, volume correction, freeze and single
// step; publishes the GL names of U, P and D.
class VORedPlugIn final : public plat::PlugInPatch {
public:
    bool Start(plat::PlugInContext& context) override;
    bool Execute(plat::PlugInContext& context, double time, plat::PlugInPorts& ports,
                 const plat::PlugInStructure& arguments) override;
    void Stop(plat::PlugInContext& context) override;

private:
    std::unique_ptr<cfd::CLSM_GL> fNsgl;
    CFluidClock fClock;
    uint32_t fWidth = 0, fHeight = 0;
};

class VORedPlugInClass final : public plat::PlugInPatchClass {
public:
    const char* Name() const override { return "VORed"; }
    plat::PlugInAttributes Attributes() const override { return {"VORed", "VORed", "Orbilume"}; }
    std::vector<plat::PlugInPortDescription> Ports() const override;
    plat::PlugInExecutionMode ExecutionMode() const override { return plat::PlugInExecutionMode::Provider; }
    plat::PlugInTimeMode TimeMode() const override { return plat::PlugInTimeMode::TimeBase; }
    std::unique_ptr<plat::PlugInPatch> CreatePatch() const override {
        return std::make_unique<VORedPlugIn>();
    }
};
