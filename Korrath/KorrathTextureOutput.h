#pragma once

#include "Platform/Composer/PlugInInterface.h"
#include "Specific/PlugInSupport/PlugInTexture.h"

// Hands a drawn rectangle texture to the host without a copy (not flipped). The reference goes
// back when the host releases the texture, from any thread and without GL calls.
class KorrathTextureOutput final : public plat::PlugInImageProvider {
public:
    explicit KorrathTextureOutput(plugin::PlugInTextureRef texture) : fTexture(std::move(texture)) {}

    plat::PlugInRect Bounds() const override;
    uint32_t CopyTexture(plat::PlugInGLContext* context, const plat::PlugInRect& bounds, uint32_t& target,
                         bool& flipped) override;
    void ReleaseTexture(uint32_t name) override;

private:
    plugin::PlugInTextureRef fTexture;
};
