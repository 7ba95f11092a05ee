#include "Specific/Graph/CFD/CCFDContext.h"

namespace cfd {

bool CCFDContext::Create(plat::PlugInContext& call) {
    return fContext.Create(call);
}

void CCFDContext::Destroy(plat::PlugInContext& call) {
    fContext.Destroy(call);
}

CCFDContext::Scope::Scope(CCFDContext& context) : fOwner(context) {
    if (fOwner.fDepth > 0) {
        ++fOwner.fDepth;
        fOk = true;
        return;
    }
    plat::PlugInContext* call = fOwner.fCall;
    plat::PlugInGLContext* own = fOwner.fContext.Get();
    if (!call || !own) return;
    fOwner.fPrevious = call->CurrentContext();
    if (fOwner.fPrevious != own && !call->MakeCurrent(own)) {
        (void)call->MakeCurrent(fOwner.fPrevious ? fOwner.fPrevious : call->GLContext());
        return;
    }
    fOwner.fDepth = 1;
    fOk = true;
}

CCFDContext::Scope::~Scope() {
    if (!fOk || --fOwner.fDepth > 0) return;
    plat::PlugInContext* call = fOwner.fCall;
    plat::PlugInGLContext* back = fOwner.fPrevious ? fOwner.fPrevious : call->GLContext();
    if (call->CurrentContext() != back) (void)call->MakeCurrent(back);
    fOwner.fPrevious = nullptr;
}

}  // namespace cfd
