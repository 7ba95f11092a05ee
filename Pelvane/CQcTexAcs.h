#pragma once

#include <cstdint>

#include "Platform/Composer/PlugInInterface.h"

// A scoped texture of an input image, bound on unit 0 of a context with normalised coordinates;
// the destructor unbinds and unlocks it. Lock it with the host call's own context current.
class CQcTexAcs {
public:
    CQcTexAcs(plat::PlugInGLContext* context, plat::PlugInImageSource* image);
    ~CQcTexAcs();
    CQcTexAcs(const CQcTexAcs&) = delete;
    CQcTexAcs& operator=(const CQcTexAcs&) = delete;

    uint32_t Name() const { return fName; }
    uint32_t Target() const { return fTarget; }
    bool Flipped() const { return fFlipped; }

private:
    plat::PlugInGLContext* fContext;
    plat::PlugInImageSource* fImage;
    uint32_t fTarget = 0;
    uint32_t fName = 0;
    bool fFlipped = false;
};
