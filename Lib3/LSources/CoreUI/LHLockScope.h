#pragma once

#include <cstddef>
#include <cstdint>

// Keeps a resource handle's bytes in place for the length of a scope: the handle is retained and its
// data and size noted. Works with any handle type offering Retain, Release, Bytes and Size; a null
// handle gives an empty scope.
template <class Handle>
class LHLockScope {
public:
    explicit LHLockScope(Handle* handle) : fHandle(handle) {
        if (!fHandle) return;
        fHandle->Retain();
        fData = fHandle->Bytes();
        fSize = fHandle->Size();
    }
    ~LHLockScope() {
        if (fHandle) fHandle->Release();
    }
    LHLockScope(const LHLockScope&) = delete;
    LHLockScope& operator=(const LHLockScope&) = delete;

    const uint8_t* Data() const { return fData; }
    size_t Size() const { return fSize; }

private:
    Handle* fHandle;
    const uint8_t* fData = nullptr;
    size_t fSize = 0;
};
