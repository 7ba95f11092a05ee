#include "Orbilume/CSources/UsbDmx/UsbDmxReports.h"

#include <cstring>

namespace usbdmx {

uint32_t PackFrame(const uint8_t* frame, uint32_t n, uint8_t* out) {
    if (n > kMaxFrame) n = kMaxFrame;
    uint32_t at = 0;
    uint32_t taken = 0;
    while (taken < n) {
        out[at++] = 0x00;
        for (int group = 0; group < 7 && taken < n; ++group) {
            out[at++] = taken == 0 ? 0x01 : 0x00;
            const uint32_t d = n - taken < 8 ? n - taken : 8;
            std::memcpy(out + at, frame + taken, d);
            at += d;
            taken += d;
        }
    }
    return at;
}

void ReportDecoder::Finish(FrameSink& sink) {
    const uint32_t length = fLength;
    fFrame = nullptr;
    fLength = 0;
    sink.FrameDone(length);
}

void ReportDecoder::Feed(const uint8_t* report, uint32_t length, FrameSink& sink) {
    if (length > kReportSize) length = kReportSize;
    uint32_t group = 0;
    uint32_t index = 0;
    while (length > group + index + 2) {
        const bool flag = (report[1 + group] >> index) & 1;
        const uint8_t byte = report[2 + group + index];
        if (flag && fLength > 0) {
            Finish(sink);  // the byte starts the next frame: look at it again
            continue;
        }
        if (flag) {
            fFrame = sink.StartFrame();
            fFrame[0] = byte;
            fLength = 1;
        } else if (fLength > 0 && fLength < kMaxFrame) {
            fFrame[fLength++] = byte;
        }
        if (++index == 8) {
            group += 9;
            index = 0;
        }
        if (fLength == kMaxFrame && fFrame[0] == 0) Finish(sink);
    }
}

uint8_t* FrameRing::Next() {
    if (Count() >= 2) ++fRead;
    return fFrames[fWrite & 1];
}

void FrameRing::Commit(uint32_t length) {
    fLengths[fWrite & 1] = uint16_t(length);
    ++fWrite;
}

const uint8_t* FrameRing::Front(uint32_t& length) const {
    length = fLengths[fRead & 1];
    return fFrames[fRead & 1];
}

}  // namespace usbdmx
