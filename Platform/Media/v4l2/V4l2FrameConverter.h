#pragma once

#include <cstddef>
#include <cstdint>

#include "Platform/Foundation/Object.h"
#include "Platform/Video/PixelBuffer.h"

struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;

namespace plat {

// Turns frames of a capture node's format into BGRA pixel buffers of the same size. A frame shorter
// than its format needs, or a corrupt MJPEG frame, gives null. One thread at a time.
class V4l2FrameConverter {
public:
    V4l2FrameConverter() = default;
    ~V4l2FrameConverter();
    V4l2FrameConverter(const V4l2FrameConverter&) = delete;
    V4l2FrameConverter& operator=(const V4l2FrameConverter&) = delete;

    Ref<PixelBuffer> Convert(uint32_t fourcc, uint32_t width, uint32_t height, uint32_t bytesPerLine,
                             const uint8_t* data, size_t bytes);

private:
    Ref<PixelBuffer> NewBuffer(uint32_t width, uint32_t height);
    Ref<PixelBuffer> Scale(int avFormat, uint32_t width, uint32_t height, const uint8_t* const planes[4],
                           const int strides[4]);
    Ref<PixelBuffer> DecodeJpeg(uint32_t width, uint32_t height, const uint8_t* data, size_t bytes);

    Ref<PixelBufferPool> fPool;
    SwsContext* fSws = nullptr;
    AVCodecContext* fJpeg = nullptr;
    AVFrame* fFrame = nullptr;
    AVPacket* fPacket = nullptr;
};

}  // namespace plat
