#include "Korrath/KorrathTextureOutput.h"

plat::PlugInRect KorrathTextureOutput::Bounds() const {
    const plugin::PlugInTexture* t = fTexture.Get();
    return t ? plat::PlugInRect{0, 0, double(t->Width()), double(t->Height())} : plat::PlugInRect{};
}

uint32_t KorrathTextureOutput::CopyTexture(plat::PlugInGLContext*, const plat::PlugInRect&, uint32_t& target,
                                           bool& flipped) {
    const plugin::PlugInTexture* t = fTexture.Get();
    if (!t) return 0;
    target = t->Target();
    flipped = false;
    return t->Name();
}

void KorrathTextureOutput::ReleaseTexture(uint32_t name) {
    if (fTexture && fTexture.Get()->Name() == name) fTexture.Prepare();
}
