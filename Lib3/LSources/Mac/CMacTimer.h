#pragma once

#include <atomic>

#include "Common/Memory/CRefObj.h"
#include "Platform/Foundation/Object.h"

namespace plat {
class RunLoopTimer;
}

// A wake-up of the main thread that any thread may trigger: Fire moves a parked timer on the main run
// loop (common modes) to now, and the callback runs there once however often Fire was called before.
// After the callback an application-defined event is posted, so that a wait for events returns.
class CMacTimer : public CRefObj {
public:
    using Callback = void (*)(void* context, CMacTimer* timer);

    CMacTimer(Callback callback, void* context);
    ~CMacTimer() override;

    virtual void Fire();

private:
    static void Expired(plat::RunLoopTimer* timer, void* self);

    Callback mCallback;
    void* mContext;
    plat::Ref<plat::RunLoopTimer> mTimer;
    std::atomic<bool> mArmed{false};
};
