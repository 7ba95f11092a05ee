#pragma once

#include "Platform/Composer/PlugInInterface.h"
#include "Specific/PlugInSupport/PlugInTexture.h"

// A received frame in a pooled rectangle texture of the patch's share group, drawn by the host's
// render path into its own image with the frame's first row on top. The texture goes back to its
// pool when the host drops the image, from any thread and without GL calls.
class NdiTextureOutput final : public plat::PlugInImageProvider {
public:
    explicit NdiTextureOutput(plugin::PlugInTextureRef texture) : fTexture(std::move(texture)) {}
    plat::PlugInRect Bounds() const override;
    bool CanRender(plat::PlugInGLContext* context) const override;
    // Draws over the current framebuffer's viewport (the host's context is current).
    bool Render(plat::PlugInGLContext* context, const plat::PlugInRect& bounds) override;

private:
    plugin::PlugInTextureRef fTexture;
};
