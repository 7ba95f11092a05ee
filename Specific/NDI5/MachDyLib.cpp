#include "Specific/NDI5/MachDyLib.h"

#include <dlfcn.h>

CMachDyLib::CMachDyLib(const char* path) {
    if (path && *path) fHandle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
}

CMachDyLib::~CMachDyLib() {
    if (fHandle) dlclose(fHandle);
}

void* CMachDyLib::Find(const char* symbol) const {
    return fHandle ? dlsym(fHandle, symbol) : nullptr;
}
