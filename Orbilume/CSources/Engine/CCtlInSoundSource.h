#pragma once

#include <cstdint>

// The newest sound-input frames for the level analysis: 256 stereo frames of signed 16-bit
// samples, free-running u16 indices (position = index & 255) and a flag set when new frames
// arrived. The source writes it and the hub reads it, both between Lock and Unlock.
struct CtlInSoundRing {
    static constexpr uint32_t kFrames = 256;
    static constexpr uint32_t kMask = kFrames - 1;
    int16_t frames[kFrames][2] = {};
    uint16_t readIndex = 0;
    uint16_t writeIndex = 0;
    uint8_t newSamples = 0;
};

// The owner of the sound-input samples the control-input hub analyses (the application's sound
// input). Lock and Unlock may be called from the render thread and the main thread.
class CCtlInSoundSource {
public:
    virtual ~CCtlInSoundSource() = default;
    virtual void Lock() = 0;
    virtual void Unlock() = 0;
    // Valid for the source's lifetime; read and written only between Lock and Unlock.
    virtual CtlInSoundRing& Ring() = 0;
};
