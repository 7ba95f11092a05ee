#pragma once

#include <pthread.h>

#include <atomic>
#include <cstdint>

#include "Common/Memory/CRefObj.h"
#include "Lib3/LSources/CoreData/LSLinkBase.h"

class CPoolBase;

// Object that a pool hands out and takes back. Holders count refs; the last Release returns the
// object to its pool (or deletes it when it has none), and the next Prep hands it out again.
class CPooled : public SSLink {
public:
    CPooled() = default;
    ~CPooled() override = default;
    CPooled(const CPooled&) = delete;
    CPooled& operator=(const CPooled&) = delete;

    void Retain() { mRefs.fetch_add(1, std::memory_order_relaxed); }
    void Release() {
        if (mRefs.fetch_sub(1, std::memory_order_acq_rel) <= 1) Free();
    }
    int32_t RefCount() const { return mRefs.load(std::memory_order_relaxed); }
    CPoolBase* Pool() const { return mPool; }

    // Back to the pool, or deleted when the object has none.
    void Free();

private:
    friend class CPoolBase;
    std::atomic<int32_t> mRefs{1};
    CPoolBase* mPool = nullptr;
};

// Recycles pooled objects. The pool's own count (CRefObj) is its `uses`: one for the owner plus one
// for every object handed out. The owner lets go with Release; the pool is freed when the last
// object has come back, whichever thread returns it.
class CPoolBase : public CRefObj {
public:
    CPoolBase();
    ~CPoolBase() override;

    // A recycled object with refs 1, or a new one; null when none can be made.
    CPooled* Prep();
    // Takes an object back (called by CPooled::Free).
    void Back(CPooled* object);

    int32_t Uses() const { return RetainCount(); }
    uint32_t FreeCount();

protected:
    // Makes a new object with refs 1.
    virtual CPooled* MakeNew() = 0;

private:
    pthread_mutex_t mMutex;
    LSLinkBase mFree;
};
