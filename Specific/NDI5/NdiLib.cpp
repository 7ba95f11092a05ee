#include "Specific/NDI5/NdiLib.h"

#include <cstdlib>

std::unique_ptr<CNdiLib> CNdiLib::Open() {
    const char* path = std::getenv("ORBILUME_NDI_LIBRARY");
    std::unique_ptr<CNdiLib> lib(new CNdiLib(path && *path ? path : "libndi.so.5"));
    if (!lib->fLib.IsOpen()) return nullptr;
    return lib;
}
