#include "Orbilume/CSources/Http/FormMonitor.h"

#include <algorithm>

#include "Platform/Graphics/PNGEncoder.h"

namespace {

// Hands out a finished frame's PNG in one piece.
class FrameBody : public HttpBodySource {
public:
    explicit FrameBody(std::shared_ptr<FormMonitor::Frame> frame) : fFrame(std::move(frame)) {}
    Readiness Prepare() override {
        switch (fFrame->state) {
            case FormMonitor::Frame::kWaiting:
                return kWait;
            case FormMonitor::Frame::kReady:
                return kReady;
            default:
                return kFail;
        }
    }
    int64_t Length() const override { return int64_t(fFrame->png.size()); }
    int32_t NextChunk(const uint8_t** out) override {
        if (fGiven) return 0;
        fGiven = true;
        *out = fFrame->png.data();
        return int32_t(fFrame->png.size());
    }

private:
    std::shared_ptr<FormMonitor::Frame> fFrame;
    bool fGiven = false;
};

}  // namespace

bool FixedPictureMonitorSource::Capture(uint32_t size, Done done) {
    const int32_t width = int32_t(std::clamp<uint32_t>(size, 1, 4096));
    const int32_t height = std::max(1, width * 9 / 16);
    static const uint8_t kBars[][3] = {{255, 255, 255}, {255, 255, 0}, {0, 255, 255}, {0, 255, 0},
                                       {255, 0, 255},   {255, 0, 0},   {0, 0, 255},   {0, 0, 0}};
    std::vector<uint8_t> pixels(size_t(width) * size_t(height) * 4);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            const uint8_t* bar = kBars[size_t(x) * 8 / size_t(width)];
            uint8_t* p = &pixels[(size_t(y) * size_t(width) + size_t(x)) * 4];
            p[0] = 255;  // A, R, G, B
            p[1] = bar[0];
            p[2] = bar[1];
            p[3] = bar[2];
        }
    std::vector<uint8_t> png;
    if (!plat::PNGEncoder::Encode(pixels.data(), width, height, size_t(width) * 4, plat::PixelOrder::kARGB,
                                  png))
        png.clear();
    done(std::move(png));
    return true;
}

FormMonitor::FormMonitor(FormMonitorSource* source, std::function<void()> wake)
    : fSource(source), fWake(std::move(wake)) {}

FormMonitor::~FormMonitor() {
    if (fCurrent && fSource) fSource->Cancel();
}

void FormMonitor::SetSource(FormMonitorSource* source) {
    if (fCurrent && fSource) fSource->Cancel();
    if (fCurrent) Finish(fCurrent, {});
    fSource = source;
}

std::unique_ptr<HttpBodySource> FormMonitor::Request(uint32_t size, uint32_t nowMs) {
    if (!fSource) return nullptr;
    std::shared_ptr<Frame> frame = fCurrent;
    if (!frame) {
        frame = std::make_shared<Frame>();
        frame->startMs = nowMs;
        fCurrent = frame;
        ++fCaptures;
        std::weak_ptr<Frame> weak = frame;
        // The source may deliver at once.
        const bool started = fSource->Capture(size, [this, weak](std::vector<uint8_t> png) {
            if (auto f = weak.lock()) Finish(f, std::move(png));
        });
        if (!started) {
            if (fCurrent == frame) fCurrent.reset();
            return nullptr;
        }
    }
    return std::make_unique<FrameBody>(std::move(frame));
}

void FormMonitor::Finish(const std::shared_ptr<Frame>& frame, std::vector<uint8_t> png) {
    if (frame->state != Frame::kWaiting) return;
    frame->png = std::move(png);
    frame->state = frame->png.empty() ? Frame::kFailed : Frame::kReady;
    if (fCurrent == frame) fCurrent.reset();
    if (fWake) fWake();
}

uint32_t FormMonitor::Expire(uint32_t nowMs) {
    if (!fCurrent) return 0;
    const uint32_t age = nowMs - fCurrent->startMs;
    if (age < kWaitMs) return kWaitMs - age;
    if (fSource) fSource->Cancel();
    Finish(fCurrent, {});
    return 0;
}
