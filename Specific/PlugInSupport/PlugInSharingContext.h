#pragma once

#include "Platform/Composer/PlugInInterface.h"

namespace plugin {

// A GL context of a patch's own, sharing objects with the renderer's: made at start, destroyed
// at stop, both through the plug-in context of that call.
class PlugInSharingContext {
public:
    PlugInSharingContext() = default;
    ~PlugInSharingContext();  // a context still held here is leaked, never touched without a call
    PlugInSharingContext(const PlugInSharingContext&) = delete;
    PlugInSharingContext& operator=(const PlugInSharingContext&) = delete;

    // True when a context exists (made now or before).
    [[nodiscard]] bool Create(plat::PlugInContext& context);
    void Destroy(plat::PlugInContext& context);
    plat::PlugInGLContext* Get() const { return fContext; }

private:
    plat::PlugInGLContext* fContext = nullptr;
};

}  // namespace plugin
