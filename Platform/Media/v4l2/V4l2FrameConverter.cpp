#include "Platform/Media/v4l2/V4l2FrameConverter.h"

#include <linux/videodev2.h>

#include <climits>
#include <cstring>

#include "Platform/Media/v4l2/V4l2Format.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

namespace plat {

V4l2FrameConverter::~V4l2FrameConverter() {
    sws_freeContext(fSws);
    avcodec_free_context(&fJpeg);
    av_frame_free(&fFrame);
    av_packet_free(&fPacket);
}

Ref<PixelBuffer> V4l2FrameConverter::NewBuffer(uint32_t width, uint32_t height) {
    if (!fPool || uint32_t(fPool->Width()) != width || uint32_t(fPool->Height()) != height)
        fPool = PixelBufferPool::Create(int32_t(width), int32_t(height));
    return fPool ? fPool->CreatePixelBuffer() : nullptr;
}

Ref<PixelBuffer> V4l2FrameConverter::Scale(int avFormat, uint32_t width, uint32_t height,
                                           const uint8_t* const planes[4], const int strides[4]) {
    fSws = sws_getCachedContext(fSws, int(width), int(height), AVPixelFormat(avFormat), int(width),
                                int(height), AV_PIX_FMT_BGRA, SWS_BICUBIC, nullptr, nullptr, nullptr);
    if (!fSws) return nullptr;
    Ref<PixelBuffer> out = NewBuffer(width, height);
    if (!out || !out->Lock(0)) return nullptr;
    uint8_t* dst[4] = {out->BaseAddress(), nullptr, nullptr, nullptr};
    const int dstStride[4] = {int(out->BytesPerRow()), 0, 0, 0};
    const int rows = sws_scale(fSws, planes, strides, 0, int(height), dst, dstStride);
    out->Unlock(0);
    return rows == int(height) ? out : nullptr;
}

Ref<PixelBuffer> V4l2FrameConverter::DecodeJpeg(uint32_t width, uint32_t height, const uint8_t* data,
                                                size_t bytes) {
    if (bytes == 0 || bytes > size_t(INT_MAX) - AV_INPUT_BUFFER_PADDING_SIZE) return nullptr;
    if (!fJpeg) {
        const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_MJPEG);
        if (!codec) return nullptr;
        fJpeg = avcodec_alloc_context3(codec);
        if (!fJpeg) return nullptr;
        fJpeg->err_recognition = AV_EF_EXPLODE;
        if (avcodec_open2(fJpeg, codec, nullptr) < 0) {
            avcodec_free_context(&fJpeg);
            return nullptr;
        }
        fFrame = av_frame_alloc();
        fPacket = av_packet_alloc();
    }
    if (!fFrame || !fPacket || av_new_packet(fPacket, int(bytes)) < 0) return nullptr;
    std::memcpy(fPacket->data, data, bytes);
    Ref<PixelBuffer> out;
    if (avcodec_send_packet(fJpeg, fPacket) >= 0 && avcodec_receive_frame(fJpeg, fFrame) >= 0) {
        // A frame of another size than the format's is corrupt or from a format change: dropped.
        if (uint32_t(fFrame->width) == width && uint32_t(fFrame->height) == height &&
            !fFrame->decode_error_flags)
            out = Scale(fFrame->format, width, height, fFrame->data, fFrame->linesize);
        av_frame_unref(fFrame);
    } else {
        avcodec_flush_buffers(fJpeg);
    }
    av_packet_unref(fPacket);
    return out;
}

Ref<PixelBuffer> V4l2FrameConverter::Convert(uint32_t fourcc, uint32_t width, uint32_t height,
                                             uint32_t bytesPerLine, const uint8_t* data, size_t bytes) {
    if (!data || width == 0 || height == 0 || width > 8192 || height > 8192) return nullptr;
    const size_t need = V4l2FrameBytes(fourcc, width, height, bytesPerLine);
    if (need == 0 || bytes < need) return nullptr;
    if (fourcc == V4L2_PIX_FMT_MJPEG) return DecodeJpeg(width, height, data, bytes);

    const int bpl = int(bytesPerLine);
    const uint8_t* planes[4] = {data, nullptr, nullptr, nullptr};
    int strides[4] = {bpl, 0, 0, 0};
    AVPixelFormat format;
    switch (fourcc) {
        case V4L2_PIX_FMT_YUYV:
            format = AV_PIX_FMT_YUYV422;
            break;
        case V4L2_PIX_FMT_NV12:
            format = AV_PIX_FMT_NV12;
            planes[1] = data + size_t(bpl) * height;
            strides[1] = bpl;
            break;
        case V4L2_PIX_FMT_YUV420:
            format = AV_PIX_FMT_YUV420P;
            planes[1] = data + size_t(bpl) * height;
            planes[2] = planes[1] + size_t(bpl / 2) * ((height + 1) / 2);
            strides[1] = strides[2] = bpl / 2;
            break;
        case V4L2_PIX_FMT_RGB24:
            format = AV_PIX_FMT_RGB24;
            break;
        case V4L2_PIX_FMT_BGR24:
            format = AV_PIX_FMT_BGR24;
            break;
        case V4L2_PIX_FMT_ABGR32:  // B, G, R, A in memory
            format = AV_PIX_FMT_BGRA;
            break;
        case V4L2_PIX_FMT_XBGR32:
            format = AV_PIX_FMT_BGR0;
            break;
        default:
            return nullptr;
    }
    return Scale(format, width, height, planes, strides);
}

}  // namespace plat
