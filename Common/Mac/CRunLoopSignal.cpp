#include "Common/Mac/CRunLoopSignal.h"

#include "Platform/Foundation/RunLoop.h"

CRunLoopSignal::CRunLoopSignal(void* object, Callback callback)
    : mObject(object), mCallback(callback), mSource(plat::RunLoopSource::Create(&Perform, this)) {
    (void)plat::RunLoop::Current()->AddSource(mSource.get(), plat::kRunLoopCommonModes);  // new: cannot fail
}

CRunLoopSignal::~CRunLoopSignal() {
    mSource->Invalidate();
}

void CRunLoopSignal::Signal() {
    mSource->Signal();
}

void CRunLoopSignal::Perform(void* self) {
    auto* s = static_cast<CRunLoopSignal*>(self);
    plat::AutoreleasePool pool;
    if (s->mCallback) s->mCallback(s->mObject);
}
