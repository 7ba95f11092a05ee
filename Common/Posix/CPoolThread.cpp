#include "Common/Posix/CPoolThread.h"

#include "Common/Posix/CPsxMutex.h"

struct CThreadPool {
    CPsxMutex mutex;
    LSLinkBase idle;  // front: the most recently returned thread
    bool closing = false;

    static CThreadPool& Get() {
        // Never destroyed: busy threads may return to it during exit.
        static CThreadPool* pool = new CThreadPool;
        return *pool;
    }
};

namespace {

// Ends the idle threads at exit; threads busy then end themselves when their call returns.
struct PoolShutdown {
    ~PoolShutdown() {
        CThreadPool& pool = CThreadPool::Get();
        pool.mutex.Lock();
        pool.closing = true;
        LSLinkBase idle;
        pool.idle.Detach(idle);
        pool.mutex.Unlock();
        idle.DeleteAll();
    }
} gShutdown;

}  // namespace

CPoolThread::CPoolThread() = default;

CPoolThread::~CPoolThread() {
    mFunction = nullptr;
    mFlag.Set();
    mThread.Join();
}

void CPoolThread::Body(void* self) {
    static_cast<CPoolThread*>(self)->Loop();
}

void CPoolThread::Loop() {
    CThreadPool& pool = CThreadPool::Get();
    for (;;) {
        mFlag.Wait();
        Function f = mFunction;
        if (!f) return;
        f(mContext);
        mFunction = nullptr;
        mContext = nullptr;
        CPsxThread::ResetCurrentPriority();
        CPsxMutex::Locker lock(pool.mutex);
        if (pool.closing) return;
        pool.idle.Insert(this);
    }
}

CPoolThread* RunOnPoolThread(CPoolThread::Function function, void* context) {
    if (!function) return nullptr;
    CThreadPool& pool = CThreadPool::Get();
    CPoolThread* t;
    {
        CPsxMutex::Locker lock(pool.mutex);
        t = static_cast<CPoolThread*>(pool.idle.RemoveFirst());
    }
    if (!t) {
        t = new CPoolThread;
        if (!t->mThread.Start(&CPoolThread::Body, t, 0)) {
            delete t;
            return nullptr;
        }
    }
    t->mFunction = function;
    t->mContext = context;
    t->mFlag.Set();
    return t;
}

uint32_t ThreadPoolIdleCount() {
    CThreadPool& pool = CThreadPool::Get();
    CPsxMutex::Locker lock(pool.mutex);
    return pool.idle.Count();
}
