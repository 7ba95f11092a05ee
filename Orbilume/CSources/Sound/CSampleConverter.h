#pragma once

#include <cstdint>

// Turns one audio frame of a delivered sound format into one signed 16-bit value (as an int) and
// back: a reader and writer for the chosen channel, that channel's byte offset in the frame and the
// frame stride. Readers use the two most significant bytes of a sample; unsigned 8-bit samples read
// as x × 257 − 32896 (−32896..32639), so the value is an int, not an int16_t. Plain data: copy it
// freely; any thread.
class CSampleConverter {
public:
    using Reader = int (*)(const uint8_t* sample);
    using Writer = void (*)(uint8_t* sample, int value);

    static constexpr uint32_t kMix = 255;  // channel: the average of the first two channels
    static constexpr uint32_t kNullStride = 32;
    enum : uint32_t { kBigEndian = 0, kLittleEndian = 1 };

    // 16-bit signed little-endian, channel 0.
    CSampleConverter();

    // column: kBigEndian or kLittleEndian; bits 1..32; channel < channels, or kMix. Anything else
    // selects the null converter (reads 0, writes nothing, stride 32).
    void Select(uint32_t column, bool isSigned, uint32_t bits, uint32_t channels, uint32_t channel);

    // `frame` points at the frame's first byte.
    int Read(const uint8_t* frame) const { return fReader(frame + fOffset); }
    void Write(uint8_t* frame, int value) const { fWriter(frame + fOffset, value); }

    uint32_t Channel() const { return fChannel; }
    uint32_t Offset() const { return fOffset; }
    uint32_t Stride() const { return fStride; }
    Reader GetReader() const { return fReader; }
    Writer GetWriter() const { return fWriter; }
    bool IsNull() const;

private:
    uint32_t fChannel;
    uint32_t fOffset;
    uint32_t fStride;
    Reader fReader;
    Writer fWriter;
};
