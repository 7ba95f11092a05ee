#pragma once

#include "Platform/Foundation/Object.h"

struct SwsContext;

namespace plat {

class MovieFrame;
class PixelBuffer;
class PixelBufferPool;

// Converts decoded frames to BGRA pixel buffers the size of the coded picture, rows top first, with
// the frame's colour matrix and range (untagged: BT.709 for HD, BT.601 for SD). One thread at a time.
class MovieFrameConverter {
public:
    MovieFrameConverter();
    ~MovieFrameConverter();
    MovieFrameConverter(const MovieFrameConverter&) = delete;
    MovieFrameConverter& operator=(const MovieFrameConverter&) = delete;

    // Null on failure.
    Ref<PixelBuffer> Convert(const MovieFrame& frame);

private:
    SwsContext* fSws = nullptr;
    Ref<PixelBufferPool> fPool;
};

}  // namespace plat
