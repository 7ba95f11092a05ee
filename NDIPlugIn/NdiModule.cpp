// The module's registration function, its only exported symbol.

#include "NDIPlugIn/NdiPatches.h"

extern "C" __attribute__((visibility("default"))) bool OrbilumeRegisterPlugIn(
    plat::PlugInRegistrar& registrar) {
    if (registrar.InterfaceVersion() != plat::kPlugInInterfaceVersion) return false;
    return RegisterNdiPatches(registrar);
}
