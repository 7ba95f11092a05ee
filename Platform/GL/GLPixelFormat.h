#pragma once

#include <cstdint>

#include "Platform/Foundation/Object.h"

namespace plat {

struct GLPixelFormatAttributes {
    uint8_t depthBits = 0;      // 0: no depth buffer
    uint8_t samples = 0;        // 2 or more asks for a multisample buffer
    bool doubleBuffer = false;  // window surfaces only
};

// A chosen framebuffer configuration. Surfaceless EGL offers no multisample configurations, so a
// request for samples is answered here and honoured by callers with multisample renderbuffers.
class GLPixelFormat final : public Object {
public:
    // An owned reference, or null when no configuration fits.
    static Ref<GLPixelFormat> Create(const GLPixelFormatAttributes& attributes);

    int32_t DepthBits() const { return fDepthBits; }
    int32_t SampleBuffers() const { return fSamples >= 2 ? 1 : 0; }
    int32_t Samples() const { return fSamples >= 2 ? fSamples : 0; }
    bool DoubleBuffer() const { return fDoubleBuffer; }
    void* NativeConfig() const { return fConfig; }

private:
    GLPixelFormat() = default;

    void* fConfig = nullptr;
    int32_t fDepthBits = 0;
    int32_t fSamples = 0;
    bool fDoubleBuffer = false;
};

}  // namespace plat
