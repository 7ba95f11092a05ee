#include "Specific/PlugInSupport/PlugInSharingContext.h"

namespace plugin {

PlugInSharingContext::~PlugInSharingContext() = default;

bool PlugInSharingContext::Create(plat::PlugInContext& context) {
    if (!fContext) fContext = context.CreateSharingContext();
    return fContext != nullptr;
}

void PlugInSharingContext::Destroy(plat::PlugInContext& context) {
    if (!fContext) return;
    if (context.CurrentContext() == fContext) (void)context.MakeCurrent(context.GLContext());
    context.DestroyContext(fContext);
    fContext = nullptr;
}

}  // namespace plugin
