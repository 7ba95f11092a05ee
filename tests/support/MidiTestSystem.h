#pragma once

#include <memory>
#include <string>

#include "Platform/MIDI/alsa/AlsaMidiSystem.h"
#include "Platform/MIDI/jack/JackMidiSystem.h"
#include "tests/support/JackServer.h"

namespace testsupport {

// A MIDI system of the named backend ("alsa", else JACK on a private server) for peer tests; skip
// says why none can be had here.
struct MidiTestSystem {
    std::unique_ptr<JackServer> server;
    std::unique_ptr<plat::MidiSystem> system;
    std::string skip;

    static MidiTestSystem Open(const std::string& backend) {
        MidiTestSystem m;
        if (backend == "alsa") {
            if (!plat::AlsaMidiSystem::Available()) {
                m.skip = "the kernel offers no ALSA sequencer (/dev/snd/seq)";
                return m;
            }
            m.system = plat::AlsaMidiSystem::Open("orbilume");
            return m;
        }
        m.server = std::make_unique<JackServer>();
        if (!m.server->Problem().empty()) {
            m.skip = m.server->Problem();
            return m;
        }
        m.system = plat::JackMidiSystem::Open("orbilume");
        return m;
    }
};

}  // namespace testsupport
