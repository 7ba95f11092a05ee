// Sequences of USB DMX input reports of any bytes and lengths through the decoder and the two-frame
// ring, with the taker of frames coming and going between reports. Input: records of one header byte
// (low 7 bits: report length, 0..127, so lengths past 64 occur; top bit: take the held frames after this
// report) followed by the report's bytes. Every delivered frame must be 1..513 bytes, start at a
// flagged byte and be the bytes received from there on, with no flagged byte inside it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "Orbilume/CSources/UsbDmx/UsbDmxReports.h"

namespace {

void Require(bool ok) {
    if (!ok) std::abort();
}

struct Received {
    uint8_t value;
    bool flagged;
};

struct Taker : usbdmx::FrameSink {
    usbdmx::FrameRing ring;
    uint8_t* StartFrame() override { return ring.Next(); }
    void FrameDone(uint32_t length) override {
        Require(length >= 1 && length <= usbdmx::kMaxFrame);
        ring.Commit(length);
    }
};

// The data bytes a report carries, by the format alone.
void Flatten(const uint8_t* r, uint32_t n, std::vector<Received>& out) {
    if (n > usbdmx::kReportSize) n = usbdmx::kReportSize;
    for (uint32_t group = 0; group + 2 < n; group += 9)
        for (uint32_t i = 0; i < 8 && group + i + 2 < n; ++i)
            out.push_back({r[2 + group + i], bool((r[1 + group] >> i) & 1)});
}

// The frame must start at a flagged byte after the previous frame's start.
void Check(const uint8_t* f, uint32_t n, const std::vector<Received>& stream, size_t& from) {
    for (size_t p = from; p < stream.size(); ++p) {
        if (!stream[p].flagged || stream[p].value != f[0] || p + n > stream.size()) continue;
        bool same = true;
        for (uint32_t i = 1; i < n && same; ++i) same = !stream[p + i].flagged && stream[p + i].value == f[i];
        if (!same) continue;
        from = p + 1;
        return;
    }
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Taker taker;
    usbdmx::ReportDecoder decoder;
    std::vector<Received> stream;
    size_t from = 0;
    size_t at = 0;
    while (at < size) {
        const uint8_t header = data[at++];
        uint32_t length = header & 0x7F;
        if (length > size - at) length = uint32_t(size - at);
        // The report buffer of the port: 64 bytes, whatever length the transfer claims.
        uint8_t report[usbdmx::kReportSize] = {};
        for (uint32_t i = 0; i < length && i < usbdmx::kReportSize; ++i) report[i] = data[at + i];
        const uint32_t received = length < usbdmx::kReportSize ? length : usbdmx::kReportSize;
        decoder.Feed(report, received, taker);
        Flatten(report, received, stream);
        at += length;
        Require(decoder.Length() <= usbdmx::kMaxFrame);
        if (!(header & 0x80)) continue;
        while (taker.ring.Count() > 0) {
            uint32_t n = 0;
            const uint8_t* f = taker.ring.Front(n);
            Require(n >= 1 && n <= usbdmx::kMaxFrame);
            Check(f, n, stream, from);
            taker.ring.Pop();
        }
        Require(taker.ring.Count() == 0);
    }
    return 0;
}
