#pragma once

#include <atomic>
#include <cstdint>

namespace plat {

// Base of every platform object that callers retain and release. A Create or Copy call hands out an
// owned reference (count 1); the last Release deletes the object.
class Object {
public:
    Object() = default;
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    void Retain() const { fCount.fetch_add(1, std::memory_order_relaxed); }
    void Release() const;
    // Hands the reference to the innermost AutoreleasePool of this thread (released when it ends).
    // Without a pool (or when the pool cannot grow) the reference is kept and a warning printed
    // once: the caller may still be using the pointer it gets back.
    const Object* Autorelease() const;
    int32_t RetainCount() const { return fCount.load(std::memory_order_relaxed); }

protected:
    virtual ~Object() = default;

private:
    mutable std::atomic<int32_t> fCount{1};
};

// RAII autorelease scope: releases every object autoreleased on this thread while it is innermost.
class AutoreleasePool {
public:
    AutoreleasePool();
    ~AutoreleasePool();
    AutoreleasePool(const AutoreleasePool&) = delete;
    AutoreleasePool& operator=(const AutoreleasePool&) = delete;

    static bool Add(const Object* object);
    static AutoreleasePool* Current();

private:
    void Drain();

    AutoreleasePool* fOuter;
    const Object** fItems = nullptr;
    uint32_t fCount = 0;
    uint32_t fCapacity = 0;
};

// Retain and release that accept null.
inline void Retain(const Object* o) {
    if (o) o->Retain();
}
inline void Release(const Object* o) {
    if (o) o->Release();
}

}  // namespace plat
