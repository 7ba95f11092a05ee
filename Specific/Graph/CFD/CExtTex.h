#pragma once

#include <cstdint>

#include "Platform/Composer/PlugInInterface.h"

namespace cfd {

// An image the solver's image passes read: bound on texture unit 0 of the given (current) GL
// context with texture matrix 0 mapping 0..1 over the image, 2D or rectangle target.
class CExtTex {
public:
    virtual ~CExtTex() = default;
    [[nodiscard]] virtual bool Bind(plat::PlugInGLContext* context) = 0;
    virtual void Unbind(plat::PlugInGLContext* context) = 0;
    virtual bool valid() const = 0;
    virtual uint32_t target() const = 0;
};

// Keeps the minification and magnification filters of a bound, valid external texture's target
// on the active unit, and puts them back when it ends.
class CTexSmpl {
public:
    explicit CTexSmpl(const CExtTex& texture);
    ~CTexSmpl();
    CTexSmpl(const CTexSmpl&) = delete;
    CTexSmpl& operator=(const CTexSmpl&) = delete;

private:
    uint32_t fTarget = 0;
    int32_t fMin = 0, fMag = 0;
};

}  // namespace cfd
