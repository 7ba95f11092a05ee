#pragma once

#include <memory>

#include "Specific/NDI5/MachDyLib.h"

// The NDI runtime: "libndi.so.5" through the loader's search, or the file ORBILUME_NDI_LIBRARY names.
class CNdiLib {
public:
    // Null when the library does not open.
    static std::unique_ptr<CNdiLib> Open();
    template <class F>
    F Find(const char* symbol) const {
        return reinterpret_cast<F>(fLib.Find(symbol));
    }

private:
    explicit CNdiLib(const char* path) : fLib(path) {}
    CMachDyLib fLib;
};
