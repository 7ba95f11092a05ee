#include "Lib3/LSources/CoreData/LHandleBase.h"

LHandleBase& LHandleBase::operator=(LHandleBase&& other) noexcept {
    if (this != &other) {
        LHandleData* old = fData;
        fData = other.fData;
        other.fData = nullptr;
        if (old && old->ReleaseIsLast()) delete old;
    }
    return *this;
}
