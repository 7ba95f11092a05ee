#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <utility>

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

// Owning reference to a plat::Object (or any type with const Retain/Release). Copy retains, move
// steals, reset and destruction release. Adopt() takes over a reference that is already owned (a
// new object, or a Create/Copy result); Ref(raw) retains a borrowed pointer. A raw T* elsewhere
// always means borrowed.
template <typename T>
class Ref {
public:
    Ref() = default;
    Ref(std::nullptr_t) {}
    explicit Ref(T* borrowed) : fPtr(borrowed) {
        if (fPtr) fPtr->Retain();
    }
    Ref(const Ref& other) : Ref(other.fPtr) {}
    Ref(Ref&& other) noexcept : fPtr(std::exchange(other.fPtr, nullptr)) {}
    template <typename U>
    Ref(const Ref<U>& other) : Ref(static_cast<T*>(other.get())) {}
    template <typename U>
    Ref(Ref<U>&& other) noexcept : fPtr(other.release()) {}
    ~Ref() { reset(); }

    Ref& operator=(const Ref& other) {
        Ref(other).swap(*this);
        return *this;
    }
    Ref& operator=(Ref&& other) noexcept {
        Ref(std::move(other)).swap(*this);
        return *this;
    }
    Ref& operator=(std::nullptr_t) {
        reset();
        return *this;
    }

    // Releases the held reference, if any.
    void reset() {
        if (T* p = std::exchange(fPtr, nullptr)) p->Release();
    }
    // Retains the borrowed pointer and releases the old one.
    void reset(T* borrowed) { Ref(borrowed).swap(*this); }
    // Gives up ownership without releasing; the caller now owns the reference.
    [[nodiscard]] T* release() { return std::exchange(fPtr, nullptr); }
    void swap(Ref& other) noexcept { std::swap(fPtr, other.fPtr); }
    // Releases the held reference and returns the empty slot, for an out-parameter that delivers
    // an owned reference.
    T** put() {
        reset();
        return &fPtr;
    }

    T* get() const { return fPtr; }
    T* operator->() const { return fPtr; }
    T& operator*() const { return *fPtr; }
    explicit operator bool() const { return fPtr != nullptr; }

    friend bool operator==(const Ref& a, const Ref& b) { return a.fPtr == b.fPtr; }
    friend bool operator==(const Ref& a, const T* b) { return a.fPtr == b; }
    friend bool operator==(const Ref& a, std::nullptr_t) { return a.fPtr == nullptr; }

private:
    template <typename U>
    friend Ref<U> Adopt(U* owned);

    T* fPtr = nullptr;
};

// Wraps a reference the caller already owns (count not changed).
template <typename T>
[[nodiscard]] Ref<T> Adopt(T* owned) {
    Ref<T> r;
    r.fPtr = owned;
    return r;
}

// Retains a borrowed pointer into a new owning reference.
template <typename T>
[[nodiscard]] Ref<T> RetainRef(T* borrowed) {
    return Ref<T>(borrowed);
}

}  // namespace plat
