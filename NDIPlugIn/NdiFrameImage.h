#pragma once

#include <cstdint>
#include <vector>

#include "Platform/Composer/PlugInInterface.h"

// A received frame copied out of the runtime's buffer, offered as a BGRA8 image, first row on top.
// BGRX frames are made opaque. No GL: the host uploads the buffer in its own context.
class NdiFrameImage final : public plat::PlugInImageProvider {
public:
    NdiFrameImage(const uint8_t* data, size_t stride, uint32_t width, uint32_t height, bool opaque);
    plat::PlugInRect Bounds() const override { return {0, 0, double(fWidth), double(fHeight)}; }
    std::vector<plat::PlugInBufferFormat> BufferFormats() const override {
        return {plat::PlugInBufferFormat::BGRA8};
    }
    bool RenderToBuffer(void* address, size_t bytesPerRow, plat::PlugInBufferFormat format,
                        const plat::PlugInRect& bounds) override;

private:
    uint32_t fWidth, fHeight;
    std::vector<uint8_t> fPixels;  // rows of width * 4 bytes, top first
};
