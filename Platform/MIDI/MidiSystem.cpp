#include "Platform/MIDI/MidiSystem.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Platform/MIDI/alsa/AlsaMidiSystem.h"
#include "Platform/MIDI/jack/JackMidiSystem.h"
#include "Platform/MIDI/virtual/VirtualMidiSystem.h"

namespace plat {

std::unique_ptr<MidiSystem> MakeMidiSystemFromEnvironment(const std::string& clientName) {
    const char* choice = std::getenv("ORBILUME_MIDI");
    const bool any = !choice || !*choice;
    const bool alsa = !any && std::strcmp(choice, "alsa") == 0;
    const bool jack = !any && std::strcmp(choice, "jack") == 0;
    if (!any && !alsa && !jack && std::strcmp(choice, "virtual") != 0)
        std::fprintf(stderr, "orbilume: unknown ORBILUME_MIDI \"%s\"; MIDI has no sources\n", choice);
    if (any || alsa) {
        if (auto system = AlsaMidiSystem::Open(clientName)) return system;
        if (alsa)
            std::fprintf(stderr, "orbilume: the kernel offers no ALSA sequencer; MIDI has no sources\n");
    }
    if (any || jack) {
        if (auto system = JackMidiSystem::Open(clientName)) return system;
        if (jack) std::fprintf(stderr, "orbilume: no JACK server answers; MIDI has no sources\n");
    }
    return std::make_unique<VirtualMidiSystem>();
}

}  // namespace plat
