#pragma once

#include <cstdint>

#include "Platform/Foundation/Object.h"

namespace plat {

// An image crossing composition ports. Reference counted; the concrete kinds (GL textures, CPU
// buffers) derive from it.
class Image : public Object {
public:
    virtual uint32_t Width() const = 0;
    virtual uint32_t Height() const = 0;

protected:
    ~Image() override = default;
};

}  // namespace plat
