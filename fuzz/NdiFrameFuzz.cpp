// Received NDI frames: header fields and pixels from the input; frames the receiver accepts are
// copied into an image and read back in a band.
#include <cstdint>
#include <cstring>
#include <vector>

#include "NDIPlugIn/NdiFrameImage.h"
#include "NDIPlugIn/NdiPatches.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    struct Header {
        int16_t xres, yres;
        uint32_t fourcc;
        int32_t stride;
        uint8_t band[4];
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
    NdiFrameImage image(frame.p_data, size_t(frame.line_stride_in_bytes), uint32_t(frame.xres),
                        uint32_t(frame.yres), frame.FourCC == ndi::kFourCCBGRX);
    plat::PlugInRect band{double(h.band[0] % frame.xres), double(h.band[1] % frame.yres),
                          double(1 + h.band[2]), double(1 + h.band[3])};
    std::vector<uint8_t> out(size_t(band.width * band.height * 4));
    (void)image.RenderToBuffer(out.data(), size_t(band.width) * 4, plat::PlugInBufferFormat::BGRA8, band);
    return 0;
}
