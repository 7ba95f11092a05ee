#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "Lib3/LSources/Fs/LFsSpec.h"
#include "Platform/Foundation/Object.h"

// The process-wide list of the shared media of one kind (T: fCount, fFile, fNext, fPrev). The list
// owns nothing; its mutex orders look-ups against a last release on another thread, which unlinks
// the member before deleting it. A member whose count already reached 0 is never handed out again.
template <class T>
class TMediaRegistry {
public:
    static TMediaRegistry& Get() {
        static TMediaRegistry* registry = new TMediaRegistry();  // lives until exit
        return *registry;
    }

    void Link(T* member) {
        std::lock_guard<std::mutex> lock(fMutex);
        member->fNext = fHead;
        member->fPrev = nullptr;
        if (fHead) fHead->fPrev = member;
        fHead = member;
        ++fCount;
    }

    // The last release: unlinks and deletes.
    void Release(const T* member) {
        if (member->fCount.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
        T* self = const_cast<T*>(member);
        {
            std::lock_guard<std::mutex> lock(fMutex);
            if (self->fPrev) self->fPrev->fNext = self->fNext;
            if (self->fNext) self->fNext->fPrev = self->fPrev;
            if (fHead == self) fHead = self->fNext;
            --fCount;
        }
        delete self;
    }

    plat::Ref<T> Find(const LFsSpec& file) {
        if (file.IsEmpty()) return nullptr;
        std::lock_guard<std::mutex> lock(fMutex);
        for (T* m = fHead; m; m = m->fNext) {
            if (!(m->fFile == file)) continue;
            int32_t n = m->fCount.load(std::memory_order_acquire);
            while (n > 0 && !m->fCount.compare_exchange_weak(n, n + 1, std::memory_order_acq_rel)) {
            }
            if (n > 0) return plat::Adopt(m);
        }
        return nullptr;
    }

    int32_t Count() {
        std::lock_guard<std::mutex> lock(fMutex);
        return fCount;
    }

private:
    TMediaRegistry() = default;

    std::mutex fMutex;
    T* fHead = nullptr;
    int32_t fCount = 0;
};
