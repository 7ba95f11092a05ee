#pragma once

#include <cstdint>
#include <mutex>

#include "Platform/Foundation/Object.h"

namespace plat {

class BufferImage;
class GLShareGroup;

enum class ImageKind : uint8_t {
    Texture,  // GLTextureImage
    Buffer,   // BufferImage
};

// A GL texture as a drawing call sees it. Flipped: row 0 of the texture is the image's top row
// (as after uploading a buffer that lists rows top first); otherwise row 0 is the bottom row (as
// after rendering into the texture).
struct TextureView {
    uint32_t name = 0;
    uint32_t target = 0;  // GL_TEXTURE_2D or GL_TEXTURE_RECTANGLE
    uint32_t width = 0;
    uint32_t height = 0;
    bool flipped = false;
};

// An image crossing composition ports: a GL texture or a CPU buffer. Images are immutable and
// reference counted, and may be released from any thread. Representations made from an image
// (a texture of another target, an upright copy, a CPU copy) are kept with it while it lives.
class Image : public Object {
public:
    virtual ImageKind Kind() const = 0;
    virtual uint32_t Width() const = 0;
    virtual uint32_t Height() const = 0;

protected:
    Image() = default;
    ~Image() override;

private:
    friend struct ImageDerivedAccess;
    struct Derived;

    mutable std::mutex fDerivedMutex;
    mutable Derived* fDerived = nullptr;
};

}  // namespace plat
