#pragma once

#include <memory>

#include "Platform/Composer/PlugInInterface.h"

// The "Dunmire" patch: draws its input image into the host's own GL context (the user
// information's "lumetra.ctx"), fitted into the host's viewport with its proportions kept and
// bars on the other axis. Every missing piece makes it a silent success.
class DunmirePlugIn final : public plat::PlugInPatch {
public:
    bool Execute(plat::PlugInContext& context, double time, plat::PlugInPorts& ports,
                 const plat::PlugInStructure& arguments) override;
};

// Its patch class: a consumer with time mode none.
class DunmirePlugInClass final : public plat::PlugInPatchClass {
public:
    const char* Name() const override { return "Dunmire"; }
    plat::PlugInAttributes Attributes() const override { return {"Dunmire", "Dunmire", "Orbilume"}; }
    std::vector<plat::PlugInPortDescription> Ports() const override {
        plat::PlugInPortDescription image;
        image.key = "inputImage";
        image.type = plat::PlugInPortType::Image;
        return {image};
    }
    plat::PlugInExecutionMode ExecutionMode() const override { return plat::PlugInExecutionMode::Consumer; }
    plat::PlugInTimeMode TimeMode() const override { return plat::PlugInTimeMode::None; }
    std::unique_ptr<plat::PlugInPatch> CreatePatch() const override {
        return std::make_unique<DunmirePlugIn>();
    }
};
