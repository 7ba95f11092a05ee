// Feeding a control-input hub as its DMX and MIDI sources would.
#pragma once

#include <cstdint>
#include <vector>

#include "Orbilume/CSources/Engine/CCtlInHub.h"

namespace testsupport {

// Sends the hub's last DMX frame again with one slot changed.
inline void Dmx(CCtlInHub& hub, uint32_t slot, uint8_t value) {
    std::vector<uint8_t> frame(513, 0);
    for (uint32_t i = 0; i < 512; ++i) frame[i + 1] = hub.DmxValue(i);
    frame[slot + 1] = value;
    hub.DmxIn(frame.data(), 513);
}

inline void Midi(CCtlInHub& hub, uint8_t status, uint8_t d1, uint8_t d2) {
    const uint8_t m[3] = {status, d1, d2};
    hub.MidiIn(m);
}

}  // namespace testsupport
