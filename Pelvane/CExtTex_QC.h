#pragma once

#include <cstdint>

#include "Platform/Composer/PlugInInterface.h"
#include "Specific/Graph/CFD/CExtTex.h"

// An input image as the solver's external texture. Bind locks the image's texture (with the host
// call's own context current, as the image source asks), binds it on unit 0 of the solver's
// context with normalised coordinates, and composes onto that unit's texture matrix a centred fit
// keeping the image's proportions inside a grid of the given aspect. Valid during one execution;
// the destructor does not unbind.
class CExtTex_QC final : public cfd::CExtTex {
public:
    CExtTex_QC(plat::PlugInContext& call, plat::PlugInImageSource* image, float aspect)
        : fCall(call), fImage(image), fAspect(aspect) {}

    bool Bind(plat::PlugInGLContext* context) override;
    void Unbind(plat::PlugInGLContext* context) override;
    bool valid() const override { return fName != 0; }
    uint32_t target() const override { return fTarget; }

private:
    bool Lock(plat::PlugInTextureInfo& info);

    plat::PlugInContext& fCall;
    plat::PlugInImageSource* fImage;
    float fAspect;
    uint32_t fName = 0;
    uint32_t fTarget = 0;
};
