#pragma once

#include "Platform/Composer/PlugInInterface.h"

namespace plugin {

// Makes a GL context current through the plug-in context of the running call, and puts the
// plug-in context's own GL context back when it ends (whatever was current before).
class PlugInContextScope {
public:
    PlugInContextScope(plat::PlugInContext& context, plat::PlugInGLContext* target);
    ~PlugInContextScope();
    PlugInContextScope(const PlugInContextScope&) = delete;
    PlugInContextScope& operator=(const PlugInContextScope&) = delete;

    // False when the target could not be made current (nothing should be drawn then).
    bool Ok() const { return fOk; }

private:
    plat::PlugInContext& fContext;
    bool fOk = false;
};

}  // namespace plugin
