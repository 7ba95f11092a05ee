#pragma once

#include <memory>

#include "Korrath/Korrath.h"
#include "Korrath/ShapeCmds.h"
#include "Platform/Composer/PlugInInterface.h"
#include "Specific/PlugInSupport/PlugInSharingContext.h"

// The "Korrath" patch: draws the shapes of "Command" into a W x H image, in a GL context of its
// own, and redraws only when the size or the command changed.
class KorrathPlugIn final : public plat::PlugInPatch {
public:
    bool Start(plat::PlugInContext& context) override;
    bool Execute(plat::PlugInContext& context, double time, plat::PlugInPorts& ports,
                 const plat::PlugInStructure& arguments) override;
    void Stop(plat::PlugInContext& context) override;

private:
    plugin::PlugInSharingContext fContext;
    std::unique_ptr<CKorrath> fDraw;
    CShapeCmds fCmd;
};

// Its patch class: a provider with time mode none.
class KorrathPlugInClass final : public plat::PlugInPatchClass {
public:
    const char* Name() const override { return "Korrath"; }
    plat::PlugInAttributes Attributes() const override;
    std::vector<plat::PlugInPortDescription> Ports() const override;
    plat::PlugInExecutionMode ExecutionMode() const override { return plat::PlugInExecutionMode::Provider; }
    plat::PlugInTimeMode TimeMode() const override { return plat::PlugInTimeMode::None; }
    std::unique_ptr<plat::PlugInPatch> CreatePatch() const override {
        return std::make_unique<KorrathPlugIn>();
    }
};
