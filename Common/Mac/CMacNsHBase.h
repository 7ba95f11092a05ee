#pragma once

namespace plat {
class Object;
}

// Holds one retained reference to a mutable platform object, or null.
class CMacNsHBase {
public:
    CMacNsHBase() = default;
    CMacNsHBase(const CMacNsHBase& other) { Hold(other.fObj); }
    CMacNsHBase(CMacNsHBase&& other) noexcept : fObj(other.fObj) { other.fObj = nullptr; }
    ~CMacNsHBase();
    CMacNsHBase& operator=(const CMacNsHBase& other) {
        Hold(other.fObj);
        return *this;
    }

    // Retains the new object, then releases the old one.
    void Hold(plat::Object* obj);
    // Takes over an owned reference (no extra retain).
    void HoldNew(plat::Object* obj);
    // Releases and clears the held object; returns the slot for an out-parameter.
    plat::Object** Prepare();

    plat::Object* Get() const { return fObj; }
    explicit operator bool() const { return fObj != nullptr; }

private:
    plat::Object* fObj = nullptr;
};
