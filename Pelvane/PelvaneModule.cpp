// The module's registration function, its only exported symbol.

#include "Pelvane/PelvanePlugIn.h"
#include "Pelvane/VORedPlugIn.h"

extern "C" __attribute__((visibility("default"))) bool OrbilumeRegisterPlugIn(
    plat::PlugInRegistrar& registrar) {
    if (registrar.InterfaceVersion() != plat::kPlugInInterfaceVersion) return false;
    const bool single = registrar.RegisterPatchClass(std::make_unique<PelvanePlugInClass>());
    const bool two = registrar.RegisterPatchClass(std::make_unique<VORedPlugInClass>());
    return single || two;
}
