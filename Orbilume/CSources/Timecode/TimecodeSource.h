#pragma once

#include "Lib3/LSources/CoreData/LCallbackList.h"
#include "Orbilume/CSources/Timecode/Timecode.h"

class LAsyncLoop;

// Base of the timecode sources: the current time and the listeners, guarded by the lock of the loop
// that owns the sources (recursive, so a listener may read the time from inside a notification).
// Listeners run on the thread that updates the source and read the time with GetTime.
class TimecodeSource {
public:
    using Listener = void (*)(void* context, TimecodeSource* source);

    explicit TimecodeSource(LAsyncLoop* lock);
    virtual ~TimecodeSource();
    TimecodeSource(const TimecodeSource&) = delete;
    TimecodeSource& operator=(const TimecodeSource&) = delete;

    // A copy of the current time, taken under the lock.
    Timecode GetTime() const;
    // No pair is added twice.
    virtual void AddListener(void* context, Listener function);
    virtual void RemoveListener(void* context, Listener function);

    uint32_t ListenerCount() const;
    LAsyncLoop* LockObject() const { return fLock; }

protected:
    // Calls every listener in order; a listener removed meanwhile is not called.
    void Notify();
    // Caller holds the lock.
    void SetTimeLocked(const Timecode& time) { fTime = time; }
    const Timecode& TimeLocked() const { return fTime; }

    LAsyncLoop* fLock;

private:
    Timecode fTime;
    LCallbackList fListeners;
};
