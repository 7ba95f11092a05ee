#include "Specific/PlugInSupport/PlugInContextScope.h"

namespace plugin {

PlugInContextScope::PlugInContextScope(plat::PlugInContext& context, plat::PlugInGLContext* target)
    : fContext(context) {
    fOk = target && (context.CurrentContext() == target || context.MakeCurrent(target));
}

PlugInContextScope::~PlugInContextScope() {
    if (fContext.CurrentContext() != fContext.GLContext()) (void)fContext.MakeCurrent(fContext.GLContext());
}

}  // namespace plugin
