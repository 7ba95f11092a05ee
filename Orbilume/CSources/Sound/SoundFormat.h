#pragma once

#include <cstdint>

// The sample format a sound input delivers: integer PCM, interleaved. Rate 0 asks for the device's
// own rate.
struct SoundFormat {
    uint32_t rate = 22050;
    uint8_t channels = 1;
    uint8_t bits = 16;
    uint8_t isSigned = 1;
    uint8_t bigEndian = 0;

    // ceil(bits / 8) bytes per sample, one sample per channel.
    uint32_t BytesPerFrame() const { return (uint32_t(bits) + 7) / 8 * channels; }
    friend bool operator==(const SoundFormat&, const SoundFormat&) = default;
};
static_assert(sizeof(SoundFormat) == 8);
