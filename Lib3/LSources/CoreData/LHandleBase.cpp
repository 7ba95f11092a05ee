#include "Lib3/LSources/CoreData/LHandleBase.h"

void LHandleBase::SetData(LHandleData* data) {
    if (data) data->Retain();
    LHandleData* old = fData;
    fData = data;
    if (old && old->ReleaseIsLast()) delete old;
}

LHandleBase& LHandleBase::operator=(LHandleBase&& other) noexcept {
    if (this != &other) {
        LHandleData* old = fData;
        fData = other.fData;
        other.fData = nullptr;
        if (old && old->ReleaseIsLast()) delete old;
    }
    return *this;
}
