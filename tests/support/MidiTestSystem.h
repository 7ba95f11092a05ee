#pragma once

#include <memory>
#include <string>

#include "Platform/MIDI/alsa/AlsaMidiSystem.h"
#include "Platform/MIDI/jack/JackMidiSystem.h"
#include "tests/support/JackServer.h"
#include "tests/support/MidoSender.h"

namespace testsupport {

// A MIDI system of the named backend ("alsa", else JACK on a private server) for peer tests that
// send with mido, and mido's name of the same backend; skip says why none can be had here.
struct MidiTestSystem {
    std::unique_ptr<JackServer> server;
    std::unique_ptr<plat::MidiSystem> system;
    const char* midoBackend = nullptr;
    std::string skip;

    static MidiTestSystem Open(const std::string& backend) {
        MidiTestSystem m;
        if (!MidoSender::Available()) {
            m.skip = "python3-mido and python3-rtmidi are not installed";
            return m;
        }
        if (backend == "alsa") {
            m.midoBackend = "mido.backends.rtmidi/LINUX_ALSA";
            if (!plat::AlsaMidiSystem::Available()) {
                m.skip = "the kernel offers no ALSA sequencer (/dev/snd/seq)";
                return m;
            }
            m.system = plat::AlsaMidiSystem::Open("orbilume");
            return m;
        }
        m.midoBackend = "mido.backends.rtmidi/UNIX_JACK";
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
