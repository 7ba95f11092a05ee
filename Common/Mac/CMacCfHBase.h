#pragma once

namespace plat {
class Object;
}

// Holds one retained reference to an immutable platform object, or null.
class CMacCfHBase {
public:
    CMacCfHBase() = default;
    CMacCfHBase(const CMacCfHBase& other) { Hold(other.fRef); }
    CMacCfHBase(CMacCfHBase&& other) noexcept : fRef(other.fRef) { other.fRef = nullptr; }
    ~CMacCfHBase();
    CMacCfHBase& operator=(const CMacCfHBase& other) {
        Hold(other.fRef);
        return *this;
    }

    // Retains the new reference, then releases the old one.
    void Hold(const plat::Object* ref);
    // Takes over a reference that a Create or Copy call returned (no extra retain).
    void HoldNew(const plat::Object* ref);
    // Releases and clears the held reference; returns the slot for an out-parameter that
    // delivers a new reference.
    const plat::Object** Prepare();

    const plat::Object* Get() const { return fRef; }
    explicit operator bool() const { return fRef != nullptr; }

private:
    const plat::Object* fRef = nullptr;
};
