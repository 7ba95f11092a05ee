#pragma once

// Holds one reference to a counted object (CRefObj or a class with the same Retain/Release).
// Holding retains the new object before releasing the old, so holding the same object is safe.
template <class T>
class CRefH {
public:
    CRefH() = default;
    CRefH(const CRefH& other) { Hold(other.fObj); }
    CRefH& operator=(const CRefH& other) {
        Hold(other.fObj);
        return *this;
    }
    ~CRefH() { Hold(nullptr); }

    // Retains obj and releases the previous one.
    void Hold(T* obj) {
        if (obj) obj->Retain();
        T* old = fObj;
        fObj = obj;
        if (old) old->Release();
    }
    // Takes over a reference the caller owns (from New or AllocTexture).
    void HoldNew(T* obj) {
        T* old = fObj;
        fObj = obj;
        if (old) old->Release();
    }
    void Clear() { Hold(nullptr); }

    T* Get() const { return fObj; }
    T* operator->() const { return fObj; }
    explicit operator bool() const { return fObj != nullptr; }

private:
    T* fObj = nullptr;
};
