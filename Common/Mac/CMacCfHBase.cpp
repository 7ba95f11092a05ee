#include "Common/Mac/CMacCfHBase.h"

#include "Platform/Foundation/Object.h"

CMacCfHBase::~CMacCfHBase() {
    plat::Release(fRef);
}

void CMacCfHBase::Hold(const plat::Object* ref) {
    plat::Retain(ref);
    plat::Release(fRef);
    fRef = ref;
}

void CMacCfHBase::HoldNew(const plat::Object* ref) {
    plat::Release(fRef);
    fRef = ref;
}

const plat::Object** CMacCfHBase::Prepare() {
    plat::Release(fRef);
    fRef = nullptr;
    return &fRef;
}
