#pragma once

#include <utility>

#include "Platform/Foundation/Object.h"

// Holds one reference to a counted object (CRefObj or a class with the same Retain/Release): the
// framework's name for plat::Ref. Holding retains the new object before releasing the old, so
// holding the same object is safe.
template <class T>
class CRefH {
public:
    CRefH() = default;

    // Retains obj and releases the previous one.
    void Hold(T* obj) { fRef.reset(obj); }
    // Takes over a reference the caller owns (from New or AllocTexture).
    void HoldNew(T* obj) { fRef = plat::Adopt(obj); }
    void HoldNew(plat::Ref<T> obj) { fRef = std::move(obj); }
    void Clear() { fRef.reset(); }

    T* Get() const { return fRef.get(); }
    T* operator->() const { return fRef.get(); }
    explicit operator bool() const { return static_cast<bool>(fRef); }

private:
    plat::Ref<T> fRef;
};
