#pragma once

#include "Platform/Composer/PlugInInterface.h"
#include "Specific/PlugInSupport/PlugInSharingContext.h"

namespace cfd {

// A solver's own GL context, in the share group of the host's, made and destroyed through the
// plug-in context of a host call. Operations run only during a host call (SetCall names it) and
// inside a Scope, which makes the context current through that call and, when the outermost scope
// ends, puts back the context that was current before.
class CCFDContext {
public:
    CCFDContext() = default;
    CCFDContext(const CCFDContext&) = delete;
    CCFDContext& operator=(const CCFDContext&) = delete;

    [[nodiscard]] bool Create(plat::PlugInContext& call);
    void Destroy(plat::PlugInContext& call);
    plat::PlugInGLContext* Get() const { return fContext.Get(); }

    // The host call operations run in; borrowed until reset with null.
    void SetCall(plat::PlugInContext* call) { fCall = call; }
    plat::PlugInContext* Call() const { return fCall; }

    class Scope {
    public:
        explicit Scope(CCFDContext& context);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;
        // False when there is no call or context, or it could not be made current: draw nothing.
        bool Ok() const { return fOk; }

    private:
        CCFDContext& fOwner;
        bool fOk = false;
    };

private:
    plugin::PlugInSharingContext fContext;
    plat::PlugInContext* fCall = nullptr;
    plat::PlugInGLContext* fPrevious = nullptr;
    int fDepth = 0;
};

}  // namespace cfd
