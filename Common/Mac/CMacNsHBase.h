#pragma once

#include "Platform/Foundation/Object.h"

// Holds one retained reference to a mutable platform object, or null.
class CMacNsHBase {
public:
    // Retains the new object, then releases the old one.
    void Hold(plat::Object* obj) { fRef.reset(obj); }
    // Takes over an owned reference (no extra retain).
    void HoldNew(plat::Object* obj) { fRef = plat::Adopt(obj); }
    // Releases and clears the held object; returns the slot for an out-parameter.
    plat::Object** Prepare() { return fRef.put(); }

    plat::Object* Get() const { return fRef.get(); }
    explicit operator bool() const { return static_cast<bool>(fRef); }

private:
    plat::Ref<plat::Object> fRef;
};
