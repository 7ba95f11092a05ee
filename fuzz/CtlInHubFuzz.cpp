// Control input of any shape into the hub: DMX frames of any length, MIDI messages of any status and
// data bytes, sound rings with any indices. Every state stays in range.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "Orbilume/CSources/Engine/CCtlInHub.h"
#include "Orbilume/CSources/Engine/CCtlInSoundSource.h"

namespace {

class Source : public CCtlInSoundSource {
public:
    void Lock() override {}
    void Unlock() override {}
    CtlInSoundRing& Ring() override { return ring; }
    CtlInSoundRing ring;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Source source;
    CCtlInHub hub(&source);
    size_t i = 0;
    while (i < size) {
        const uint8_t op = data[i++] % 4;
        const size_t left = size - i;
        if (op == 0) {  // DMX: a length byte pair, then up to that many bytes
            uint32_t length = left >= 2 ? (uint32_t(data[i]) << 8 | data[i + 1]) : 0;
            i += left >= 2 ? 2 : left;
            if (length > size - i) length = static_cast<uint32_t>(size - i);
            hub.DmxIn(data + i, length);
            i += length;
        } else if (op == 1 && left >= 3) {
            hub.MidiIn(data + i);
            i += 3;
        } else if (op == 2 && left >= 5) {
            hub.SetDmxThreshold(data[i]);
            source.ring.readIndex = uint16_t(data[i + 1] << 8 | data[i + 2]);
            source.ring.writeIndex = uint16_t(data[i + 3] << 8 | data[i + 4]);
            source.ring.newSamples = 1;
            for (uint32_t f = 0; f < CtlInSoundRing::kFrames; ++f) {
                source.ring.frames[f][0] = int16_t(data[(i + f) % size] << 8);
                source.ring.frames[f][1] = int16_t(data[(i + 2 * f) % size] * 97);
            }
            float levels[CCtlInHub::kBands];
            hub.Spectrum(levels);
            for (float l : levels)
                if (!(l >= 0 && l <= 1)) std::abort();
            i += 5;
        } else if (op == 3) {
            hub.ResetMidi();
        } else {
            break;
        }
    }
    for (uint32_t c = 0; c < CCtlInHub::kMidiChannels; ++c) {
        if (hub.MidiHeldCount(c) > 128 || hub.MidiLastNote(c) > 127 || hub.MidiLastVelocity(c) > 127)
            std::abort();
        for (uint32_t n = 0; n < 128; ++n)
            if (hub.MidiCc(c, n) > 127) std::abort();
    }
    return 0;
}
