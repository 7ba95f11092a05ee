// Received NDI frames: header fields and pixels from the input; of a frame the receiver accepts,
// every byte its texture upload reads is read here.
#include <cstdint>
#include <cstring>
#include <vector>

#include "NDIPlugIn/NdiPatches.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    struct Header {
        int16_t xres, yres;
        uint32_t fourcc;
        int32_t stride;
    } h;
    if (size < sizeof h) return 0;
    std::memcpy(&h, data, sizeof h);
    data += sizeof h;
    size -= sizeof h;
    NDIlib_video_frame_v2_t frame{};
    frame.xres = h.xres;
    frame.yres = h.yres;
    frame.FourCC = (h.fourcc & 1) ? ndi::kFourCCBGRA : h.fourcc;
    frame.line_stride_in_bytes = h.stride;
    frame.p_data = size ? const_cast<uint8_t*>(data) : nullptr;
    if (!NdiFrameUsable(frame)) return 0;
    // The runtime hands stride x height bytes; the fuzzer's input must hold them.
    if (int64_t(frame.line_stride_in_bytes) * frame.yres > int64_t(size)) return 0;
    // As the upload reads it: rows of stride / 4 pixels, xres of them used.
    const size_t rowStep = size_t(frame.line_stride_in_bytes / 4) * 4;
    uint8_t sum = 0;
    for (int y = 0; y < frame.yres; ++y) {
        const uint8_t* row = frame.p_data + size_t(y) * rowStep;
        for (size_t x = 0; x < size_t(frame.xres) * 4; ++x) sum = uint8_t(sum + row[x]);
    }
    volatile uint8_t sink = sum;
    (void)sink;
    return 0;
}
