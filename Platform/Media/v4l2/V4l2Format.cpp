#include "Platform/Media/v4l2/V4l2Format.h"

#include <linux/videodev2.h>

namespace plat {

namespace {

constexpr uint32_t kMaxWidth = 1920, kMaxHeight = 1080;
constexpr double kMinFps = 25;

bool Fits(const V4l2FormatOption& o) {
    return V4l2CanConvert(o.fourcc) && o.width > 0 && o.height > 0 && o.width <= kMaxWidth &&
           o.height <= kMaxHeight;
}

uint64_t Area(const V4l2FormatOption& o) {
    return uint64_t(o.width) * o.height;
}

}  // namespace

bool V4l2CanConvert(uint32_t fourcc) {
    switch (fourcc) {
        case V4L2_PIX_FMT_YUYV:
        case V4L2_PIX_FMT_NV12:
        case V4L2_PIX_FMT_MJPEG:
        case V4L2_PIX_FMT_YUV420:
        case V4L2_PIX_FMT_RGB24:
        case V4L2_PIX_FMT_BGR24:
        case V4L2_PIX_FMT_ABGR32:
        case V4L2_PIX_FMT_XBGR32:
            return true;
        default:
            return false;
    }
}

bool ChooseV4l2Format(const V4l2FormatOption* current, const std::vector<V4l2FormatOption>& options,
                      V4l2FormatOption& chosen) {
    if (current && V4l2CanConvert(current->fourcc) && current->width > 0 && current->height > 0) {
        chosen = *current;
        return true;
    }
    const V4l2FormatOption* best = nullptr;
    for (bool needRate : {true, false}) {
        for (const V4l2FormatOption& o : options) {
            if (!Fits(o) || (needRate && o.fps < kMinFps)) continue;
            if (!best || Area(o) > Area(*best) || (Area(o) == Area(*best) && o.fps > best->fps)) best = &o;
        }
        if (best) break;
    }
    if (!best) return false;
    chosen = *best;
    return true;
}

size_t V4l2FrameBytes(uint32_t fourcc, uint32_t width, uint32_t height, uint32_t bytesPerLine) {
    const size_t w = width, h = height, bpl = bytesPerLine;
    switch (fourcc) {
        case V4L2_PIX_FMT_YUYV:
            return bpl >= w * 2 ? bpl * h : 0;
        case V4L2_PIX_FMT_NV12:
            return bpl >= w ? bpl * h + bpl * ((h + 1) / 2) : 0;
        case V4L2_PIX_FMT_YUV420:
            return bpl >= w ? bpl * h + 2 * (bpl / 2) * ((h + 1) / 2) : 0;
        case V4L2_PIX_FMT_RGB24:
        case V4L2_PIX_FMT_BGR24:
            return bpl >= w * 3 ? bpl * h : 0;
        case V4L2_PIX_FMT_ABGR32:
        case V4L2_PIX_FMT_XBGR32:
            return bpl >= w * 4 ? bpl * h : 0;
        case V4L2_PIX_FMT_MJPEG:
            return 1;
        default:
            return 0;
    }
}

}  // namespace plat
