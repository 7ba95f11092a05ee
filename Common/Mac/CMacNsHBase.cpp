#include "Common/Mac/CMacNsHBase.h"

#include "Platform/Foundation/Object.h"

CMacNsHBase::~CMacNsHBase() {
    plat::Release(fObj);
}

void CMacNsHBase::Hold(plat::Object* obj) {
    plat::Retain(obj);
    plat::Release(fObj);
    fObj = obj;
}

void CMacNsHBase::HoldNew(plat::Object* obj) {
    plat::Release(fObj);
    fObj = obj;
}

plat::Object** CMacNsHBase::Prepare() {
    plat::Release(fObj);
    fObj = nullptr;
    return &fObj;
}
