#pragma once

#include "Platform/Foundation/Object.h"

// An autorelease pool for the length of a scope: objects autoreleased on this thread inside it
// are released when it ends.
class CMachObjCLocalPool {
public:
    CMachObjCLocalPool() = default;
    CMachObjCLocalPool(const CMachObjCLocalPool&) = delete;
    CMachObjCLocalPool& operator=(const CMachObjCLocalPool&) = delete;

private:
    plat::AutoreleasePool fPool;
};
