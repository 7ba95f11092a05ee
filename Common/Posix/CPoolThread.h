#pragma once

#include <cstdint>

#include "Common/Posix/CEventFlag.h"
#include "Common/Posix/CPsxThread.h"
#include "Lib3/LSources/CoreData/LSLinkBase.h"

// A reusable thread of the process-wide pool.
class CPoolThread : public SSLink {
public:
    using Function = void (*)(void* context);

    CPoolThread();
    // Ends the thread (it finishes a call in progress first) and joins it.
    ~CPoolThread() override;

private:
    friend CPoolThread* RunOnPoolThread(CPoolThread::Function function, void* context);
    friend struct CThreadPool;
    static void Body(void* self);
    void Loop();

    CEventFlag mFlag;
    CPsxThread mThread;
    Function mFunction = nullptr;  // null when idle; null with the flag set ends the thread
    void* mContext = nullptr;
};

// Runs function(context) on an idle pool thread, making a new thread when none is idle. The thread
// goes back to the pool, at default priority, when the call returns.
CPoolThread* RunOnPoolThread(CPoolThread::Function function, void* context);

// Threads waiting in the pool now.
uint32_t ThreadPoolIdleCount();
