#pragma once

// The report format of the USB DMX interface, free of USB and threads: packing one DMX frame into
// 64-byte reports, decoding received reports into frames, and the two-frame ring that holds decoded
// frames until someone takes them.
//
// A report is 0x00 followed by up to 7 groups of a flag byte and 8 data bytes; bit i of a flag byte
// marks data byte i of its group as the start code of a new frame. A DMX frame is a start code and up
// to 512 slots (1..513 bytes).

#include <cstdint>

namespace usbdmx {

constexpr uint32_t kReportSize = 64;
constexpr uint32_t kMaxFrame = 513;
constexpr uint32_t kPackedSize = 640;  // a full frame packs into 10 reports

// Packs the first min(n, 513) bytes of frame into out (kPackedSize bytes); returns the byte count to
// send (0 when n is 0).
uint32_t PackFrame(const uint8_t* frame, uint32_t n, uint8_t* out);

// Where decoded frames go. StartFrame hands out a buffer of kMaxFrame bytes for the next frame;
// FrameDone says the frame in it is complete with that many bytes (1..513).
class FrameSink {
public:
    virtual uint8_t* StartFrame() = 0;
    virtual void FrameDone(uint32_t length) = 0;

protected:
    ~FrameSink() = default;
};

// Turns received reports into frames. A frame with start code 0 is complete at 513 bytes; any other
// frame ends at the next flagged byte, its bytes past 513 dropped. Bytes before the first flag are
// dropped. A frame may continue over any number of reports.
class ReportDecoder {
public:
    void Reset() {
        fFrame = nullptr;
        fLength = 0;
    }
    // One report of length bytes (more than 64 are not looked at).
    void Feed(const uint8_t* report, uint32_t length, FrameSink& sink);
    // Bytes of the frame being collected.
    uint32_t Length() const { return fLength; }

private:
    void Finish(FrameSink& sink);

    uint8_t* fFrame = nullptr;
    uint32_t fLength = 0;
};

// Two frame slots; a frame written while both hold undelivered frames replaces the oldest.
class FrameRing {
public:
    void Reset() { fRead = fWrite = 0; }
    uint32_t Count() const { return uint8_t(fWrite - fRead); }
    // The slot of the next frame, making room first.
    uint8_t* Next();
    void Commit(uint32_t length);
    // The oldest frame (Count() > 0).
    const uint8_t* Front(uint32_t& length) const;
    void Pop() { ++fRead; }

private:
    uint8_t fFrames[2][kMaxFrame] = {};
    uint16_t fLengths[2] = {};
    uint8_t fRead = 0;
    uint8_t fWrite = 0;
};

}  // namespace usbdmx
