#pragma once

#include "Platform/Foundation/Object.h"

namespace plat {
class RunLoopSource;
}

// Calls an object back on the thread that made the signal, from that thread's run loop. Any thread
// may signal; signals that arrive before the loop turns give one call.
class CRunLoopSignal {
public:
    using Callback = void (*)(void* object);

    CRunLoopSignal(void* object, Callback callback);
    ~CRunLoopSignal();
    CRunLoopSignal(const CRunLoopSignal&) = delete;
    CRunLoopSignal& operator=(const CRunLoopSignal&) = delete;

    void Signal();

private:
    static void Perform(void* self);

    void* mObject;
    Callback mCallback;
    plat::Ref<plat::RunLoopSource> mSource;
};
