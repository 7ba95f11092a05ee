#include "Platform/Media/MovieFrameConverter.h"

extern "C" {
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

#include "Platform/Media/MovieDecoder.h"
#include "Platform/Video/PixelBuffer.h"

namespace plat {

namespace {

// The matching limited-range format for the deprecated full-range ("J") ones.
AVPixelFormat Unjayed(AVPixelFormat format, bool& fullRange) {
    switch (format) {
        case AV_PIX_FMT_YUVJ420P:
            fullRange = true;
            return AV_PIX_FMT_YUV420P;
        case AV_PIX_FMT_YUVJ422P:
            fullRange = true;
            return AV_PIX_FMT_YUV422P;
        case AV_PIX_FMT_YUVJ444P:
            fullRange = true;
            return AV_PIX_FMT_YUV444P;
        case AV_PIX_FMT_YUVJ440P:
            fullRange = true;
            return AV_PIX_FMT_YUV440P;
        case AV_PIX_FMT_YUVJ411P:
            fullRange = true;
            return AV_PIX_FMT_YUV411P;
        default:
            return format;
    }
}

int Matrix(const AVFrame* frame) {
    switch (frame->colorspace) {
        case AVCOL_SPC_BT709:
            return SWS_CS_ITU709;
        case AVCOL_SPC_BT470BG:
        case AVCOL_SPC_SMPTE170M:
            return SWS_CS_ITU601;
        case AVCOL_SPC_SMPTE240M:
            return SWS_CS_SMPTE240M;
        case AVCOL_SPC_FCC:
            return SWS_CS_FCC;
        case AVCOL_SPC_BT2020_NCL:
        case AVCOL_SPC_BT2020_CL:
            return SWS_CS_BT2020;
        default:
            // Untagged: HD is BT.709, SD BT.601.
            return frame->height >= 720 || frame->width >= 1280 ? SWS_CS_ITU709 : SWS_CS_ITU601;
    }
}

}  // namespace

MovieFrameConverter::MovieFrameConverter() = default;

MovieFrameConverter::~MovieFrameConverter() {
    sws_freeContext(fSws);
}

Ref<PixelBuffer> MovieFrameConverter::Convert(const MovieFrame& movieFrame) {
    const AVFrame* frame = movieFrame.Frame();
    if (frame->width <= 0 || frame->height <= 0 || frame->width > MovieDecoder::kMaxDimension ||
        frame->height > MovieDecoder::kMaxDimension)
        return nullptr;
    bool fullRange = frame->color_range == AVCOL_RANGE_JPEG;
    AVPixelFormat format = Unjayed(static_cast<AVPixelFormat>(frame->format), fullRange);
    fSws = sws_getCachedContext(fSws, frame->width, frame->height, format, frame->width, frame->height,
                                AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!fSws) return nullptr;
    sws_setColorspaceDetails(fSws, sws_getCoefficients(Matrix(frame)), fullRange ? 1 : 0,
                             sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
    if (!fPool || fPool->Width() != frame->width || fPool->Height() != frame->height)
        fPool = PixelBufferPool::Create(frame->width, frame->height);
    if (!fPool) return nullptr;
    Ref<PixelBuffer> buffer = fPool->CreatePixelBuffer();
    if (!buffer || !buffer->Lock(0)) return nullptr;
    uint8_t* dst[4] = {buffer->BaseAddress(), nullptr, nullptr, nullptr};
    int dstStride[4] = {static_cast<int>(buffer->BytesPerRow()), 0, 0, 0};
    int rows = sws_scale(fSws, frame->data, frame->linesize, 0, frame->height, dst, dstStride);
    buffer->Unlock(0);
    return rows == frame->height ? buffer : nullptr;
}

}  // namespace plat
