#include "Common/ObjC/MObserver.h"

#include "Platform/AppKit/NotificationCenter.h"
#include "Platform/Foundation/Check.h"

plat::Ref<MObserver> MObserver::Create(void* ref, Callback callback) {
    return plat::Adopt(new MObserver(ref, callback));
}

MObserver::~MObserver() {
    StopObserving();
}

void MObserver::Observe(const char* name, const void* object) {
    PLAT_DCHECK_MAIN_THREAD();
    plat::NotificationCenter::Default().AddObserver(this, &Trampoline, name, object);
}

void MObserver::StopObserving() {
    PLAT_DCHECK_MAIN_THREAD();
    plat::NotificationCenter::Default().RemoveObserver(this);
}

void MObserver::Notify(const char* name, const void* object) {
    if (fCallback) fCallback(fRef, name, object);
}

void MObserver::Trampoline(const char* name, const void* object, void* self) {
    auto* observer = static_cast<MObserver*>(self);
    plat::Ref<MObserver> keep = plat::RetainRef(observer);  // the callback may drop the last reference
    observer->Notify(name, object);
}
