#pragma once

#include <cmath>
#include <cstdint>
#include <mutex>

#include "Orbilume/CSources/Engine/CCtlInSoundSource.h"

namespace testsupport {

// A sound source whose ring the test fills: sines, silence, or indices of its choosing.
class FakeSoundSource : public CCtlInSoundSource {
public:
    void Lock() override {
        fMutex.lock();
        ++locks;
    }
    void Unlock() override { fMutex.unlock(); }
    CtlInSoundRing& Ring() override { return fRing; }

    // Writes count frames of a sine (amplitude 0..1 of full scale, cycles per 256 frames) into both
    // channels (or the first only) and flags them.
    void WriteSine(double amplitude, double cyclesPer256, uint32_t count, bool stereo = true) {
        std::lock_guard<std::mutex> lock(fMutex);
        for (uint32_t i = 0; i < count; ++i) {
            const double v =
                amplitude * 32767.0 * std::sin(2 * 3.14159265358979323846 * cyclesPer256 * fPhase / 256.0);
            const int16_t s = static_cast<int16_t>(std::lround(v));
            int16_t* f = fRing.frames[fRing.writeIndex & CtlInSoundRing::kMask];
            f[0] = s;
            f[1] = stereo ? s : 0;
            ++fRing.writeIndex;
            ++fPhase;
        }
        fRing.newSamples = 1;
    }
    // Marks the frames up to the write index as read, as the consumer would.
    void Consume() {
        std::lock_guard<std::mutex> lock(fMutex);
        fRing.readIndex = fRing.writeIndex;
    }

    int locks = 0;

private:
    std::mutex fMutex;
    CtlInSoundRing fRing;
    uint32_t fPhase = 0;
};

}  // namespace testsupport
