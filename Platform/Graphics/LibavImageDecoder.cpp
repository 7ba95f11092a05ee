#include "Platform/Graphics/LibavImageDecoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include <climits>
#include <cstdlib>
#include <cstring>

#include "Platform/Graphics/BitmapImage.h"
#include "Platform/Graphics/ImageSource.h"
#include "Platform/Graphics/PNGDecoder.h"
#include "Platform/Graphics/PixelFormat.h"

namespace plat {

namespace {

AVCodecID CodecFor(ImageFileType type) {
    switch (type) {
        case ImageFileType::kGIF:
            return AV_CODEC_ID_GIF;
        case ImageFileType::kBMP:
            return AV_CODEC_ID_BMP;
        case ImageFileType::kTIFF:
            return AV_CODEC_ID_TIFF;
        case ImageFileType::kWebP:
            return AV_CODEC_ID_WEBP;
        case ImageFileType::kTGA:
            return AV_CODEC_ID_TARGA;
        default:
            return AV_CODEC_ID_NONE;
    }
}

struct Resources {
    AVCodecContext* codec = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    SwsContext* sws = nullptr;
    ~Resources() {
        sws_freeContext(sws);
        av_frame_free(&frame);
        av_packet_free(&packet);
        avcodec_free_context(&codec);
    }
};

// Skips a chain of GIF data sub-blocks at p; the position after the terminator, or 0 when it runs out.
size_t SkipSubBlocks(const uint8_t* data, size_t size, size_t p) {
    while (p < size) {
        uint8_t n = data[p];
        p += 1 + size_t{n};
        if (n == 0) return p <= size ? p : 0;
    }
    return 0;
}

}  // namespace

bool LibavImageDecoder::GIFHasCompleteImage(const uint8_t* data, size_t size) {
    // Header, logical screen descriptor and global colour table, then extensions up to the first
    // image, whose descriptor, local colour table and LZW data must all be there. The decoder
    // allocates the whole logical screen before it looks at the data, so a cut file stops here.
    if (!data || size < 13) return false;
    size_t p = 13;
    if (data[10] & 0x80) p += 3 * (size_t{2} << (data[10] & 7));
    while (p < size) {
        uint8_t kind = data[p];
        if (kind == 0x21) {
            if (p + 2 > size) return false;
            p = SkipSubBlocks(data, size, p + 2);
            if (p == 0) return false;
        } else if (kind == 0x2C) {
            if (p + 10 > size) return false;
            uint8_t flags = data[p + 9];
            p += 10;
            if (flags & 0x80) p += 3 * (size_t{2} << (flags & 7));
            if (p + 1 > size) return false;
            return SkipSubBlocks(data, size, p + 1) != 0;  // after the LZW minimum code size
        } else {
            return false;
        }
    }
    return false;
}

namespace {

// Refuses frames beyond the side limit before the decoder allocates their pixels (max_pixels bounds
// the area the same way).
int GetBuffer(AVCodecContext* codec, AVFrame* frame, int flags) {
    if (frame->width > PNGDecoder::kMaxSide || frame->height > PNGDecoder::kMaxSide) return AVERROR(EINVAL);
    return avcodec_default_get_buffer2(codec, frame, flags);
}

bool DecodeFrame(Resources& r, AVCodecID id, const uint8_t* data, size_t size) {
    const AVCodec* codec = avcodec_find_decoder(id);
    if (!codec || size == 0 || size > INT_MAX - AV_INPUT_BUFFER_PADDING_SIZE) return false;
    if (!(r.codec = avcodec_alloc_context3(codec))) return false;
    r.codec->max_pixels = static_cast<int64_t>(PNGDecoder::kMaxPixels);
    r.codec->thread_count = 1;
    r.codec->get_buffer2 = GetBuffer;
    if (avcodec_open2(r.codec, codec, nullptr) < 0) return false;
    if (!(r.packet = av_packet_alloc()) || !(r.frame = av_frame_alloc())) return false;
    if (av_new_packet(r.packet, static_cast<int>(size)) < 0) return false;
    std::memcpy(r.packet->data, data, size);
    r.packet->flags |= AV_PKT_FLAG_KEY;
    if (avcodec_send_packet(r.codec, r.packet) < 0) return false;
    int err = avcodec_receive_frame(r.codec, r.frame);
    if (err == AVERROR(EAGAIN)) {
        if (avcodec_send_packet(r.codec, nullptr) < 0) return false;
        err = avcodec_receive_frame(r.codec, r.frame);
    }
    return err >= 0;
}

void Premultiply(uint8_t* row, int32_t width) {
    for (int32_t x = 0; x < width; ++x, row += 4) {
        uint32_t a = row[3];
        if (a == 255) continue;
        row[0] = static_cast<uint8_t>((row[0] * a + 127) / 255);
        row[1] = static_cast<uint8_t>((row[1] * a + 127) / 255);
        row[2] = static_cast<uint8_t>((row[2] * a + 127) / 255);
    }
}

}  // namespace

Ref<BitmapImage> LibavImageDecoder::Decode(ImageFileType type, const uint8_t* data, size_t size) {
    AVCodecID id = CodecFor(type);
    if (id == AV_CODEC_ID_NONE || !data) return nullptr;
    if (type == ImageFileType::kGIF && !GIFHasCompleteImage(data, size)) return nullptr;
    Resources r;
    if (!DecodeFrame(r, id, data, size)) return nullptr;
    int w = r.frame->width, h = r.frame->height;
    if (w <= 0 || h <= 0 || w > PNGDecoder::kMaxSide || h > PNGDecoder::kMaxSide ||
        static_cast<uint64_t>(w) * static_cast<uint64_t>(h) > PNGDecoder::kMaxPixels)
        return nullptr;
    auto format = static_cast<AVPixelFormat>(r.frame->format);
    if (format == AV_PIX_FMT_NONE) return nullptr;
    r.sws = sws_getContext(w, h, format, w, h, AV_PIX_FMT_BGRA, SWS_POINT | SWS_ACCURATE_RND | SWS_BITEXACT,
                           nullptr, nullptr, nullptr);
    if (!r.sws) return nullptr;
    size_t bytesPerRow = PaddedBytesPerRow(PixelFormat::kARGB32, w);
    auto* pixels = static_cast<uint8_t*>(std::malloc(bytesPerRow * static_cast<size_t>(h)));
    if (!pixels) return nullptr;
    uint8_t* dst[4] = {pixels, nullptr, nullptr, nullptr};
    int dstStride[4] = {static_cast<int>(bytesPerRow), 0, 0, 0};
    if (sws_scale(r.sws, r.frame->data, r.frame->linesize, 0, h, dst, dstStride) != h) {
        std::free(pixels);
        return nullptr;
    }
    for (int y = 0; y < h; ++y) Premultiply(pixels + static_cast<size_t>(y) * bytesPerRow, w);
    return BitmapImage::CreateOwning(w, h, PixelFormat::kARGB32, pixels, bytesPerRow);
}

}  // namespace plat
