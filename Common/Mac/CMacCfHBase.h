#pragma once

#include "Platform/Foundation/Object.h"

// Holds one retained reference to an immutable platform object, or null.
class CMacCfHBase {
public:
    // Retains the new reference, then releases the old one.
    void Hold(const plat::Object* ref) { fRef.reset(ref); }
    // Takes over a reference that a Create or Copy call returned (no extra retain).
    void HoldNew(const plat::Object* ref) { fRef = plat::Adopt(ref); }
    // Releases and clears the held reference; returns the slot for an out-parameter that
    // delivers a new reference.
    const plat::Object** Prepare() { return fRef.put(); }

    const plat::Object* Get() const { return fRef.get(); }
    explicit operator bool() const { return static_cast<bool>(fRef); }

private:
    plat::Ref<const plat::Object> fRef;
};
