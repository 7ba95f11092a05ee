#include "Orbilume/CSources/Timecode/TimecodeSource.h"

#include "Lib3/LSources/CoreData/LAsyncLoop.h"

TimecodeSource::TimecodeSource(LAsyncLoop* lock) : fLock(lock) {
    fTime.Init(30);
}

TimecodeSource::~TimecodeSource() = default;

Timecode TimecodeSource::GetTime() const {
    fLock->Lock();
    Timecode t = fTime;
    fLock->Unlock();
    return t;
}

void TimecodeSource::AddListener(void* context, Listener function) {
    fLock->Lock();
    fListeners.Add(context, function);
    fLock->Unlock();
}

void TimecodeSource::RemoveListener(void* context, Listener function) {
    fLock->Lock();
    fListeners.Remove(context, function);
    fLock->Unlock();
}

uint32_t TimecodeSource::ListenerCount() const {
    fLock->Lock();
    uint32_t n = fListeners.Count();
    fLock->Unlock();
    return n;
}

void TimecodeSource::Notify() {
    fLock->Lock();
    LCallbackList::Iterator it(fListeners);
    LCallbackList::Entry e;
    while (it.Next(e)) e.As<void(void*, TimecodeSource*)>()(e.context, this);
    fLock->Unlock();
}
