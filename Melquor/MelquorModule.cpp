// The module's registration function, its only exported symbol.

#include "Melquor/MelquorPlugIn.h"

extern "C" __attribute__((visibility("default"))) bool OrbilumeRegisterPlugIn(
    plat::PlugInRegistrar& registrar) {
    if (registrar.InterfaceVersion() != plat::kPlugInInterfaceVersion) return false;
    return registrar.RegisterPatchClass(std::make_unique<MelquorPlugInClass>());
}
