#include "Platform/Foundation/Object.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace plat {

namespace {
thread_local AutoreleasePool* tCurrentPool = nullptr;
}

void Object::Release() const {
    if (fCount.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
}

const Object* Object::Autorelease() const {
    if (!AutoreleasePool::Add(this)) {
        static std::atomic<bool> warned{false};
        if (!warned.exchange(true))
            std::fprintf(stderr, "orbilume: object autoreleased with no pool in place; it is kept\n");
    }
    return this;
}

AutoreleasePool::AutoreleasePool() : fOuter(tCurrentPool) {
    tCurrentPool = this;
}

AutoreleasePool::~AutoreleasePool() {
    Drain();
    std::free(fItems);
    tCurrentPool = fOuter;
}

AutoreleasePool* AutoreleasePool::Current() {
    return tCurrentPool;
}

bool AutoreleasePool::Add(const Object* object) {
    AutoreleasePool* pool = tCurrentPool;
    if (!pool) return false;
    if (pool->fCount == pool->fCapacity) {
        uint32_t capacity = pool->fCapacity ? pool->fCapacity * 2 : 16;
        void* grown = std::realloc(pool->fItems, capacity * sizeof(const Object*));
        if (!grown) return false;
        pool->fItems = static_cast<const Object**>(grown);
        pool->fCapacity = capacity;
    }
    pool->fItems[pool->fCount++] = object;
    return true;
}

void AutoreleasePool::Drain() {
    // Releasing may autorelease more objects into this pool; keep draining until empty.
    while (fCount > 0) {
        const Object* o = fItems[--fCount];
        o->Release();
    }
}

}  // namespace plat
