#pragma once

#include <memory>

#include "Melquor/MelquorText.h"
#include "Platform/Composer/PlugInInterface.h"

// The "Melquor" patch: lays out "String" in a font, size, wrapping width and line spacing and
// publishes it as a lazily rendered image with the offset of every line.
class MelquorPlugIn final : public plat::PlugInPatch {
public:
    bool Execute(plat::PlugInContext& context, double time, plat::PlugInPorts& ports,
                 const plat::PlugInStructure& arguments) override;

private:
    std::shared_ptr<MelquorText> fText;
    bool fHasColor = false;
    plat::PlugInColor fColor;
};

// Its patch class: a processor with time mode none.
class MelquorPlugInClass final : public plat::PlugInPatchClass {
public:
    const char* Name() const override { return "Melquor"; }
    plat::PlugInAttributes Attributes() const override;
    std::vector<plat::PlugInPortDescription> Ports() const override;
    plat::PlugInExecutionMode ExecutionMode() const override { return plat::PlugInExecutionMode::Processor; }
    plat::PlugInTimeMode TimeMode() const override { return plat::PlugInTimeMode::None; }
    std::unique_ptr<plat::PlugInPatch> CreatePatch() const override {
        return std::make_unique<MelquorPlugIn>();
    }
};
