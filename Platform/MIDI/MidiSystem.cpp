#include "Platform/MIDI/MidiSystem.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Platform/MIDI/jack/JackMidiSystem.h"
#include "Platform/MIDI/virtual/VirtualMidiSystem.h"

namespace plat {

std::unique_ptr<MidiSystem> MakeMidiSystemFromEnvironment(const std::string& clientName) {
    const char* choice = std::getenv("ORBILUME_MIDI");
    const bool any = !choice || !*choice;
    if (!any && std::strcmp(choice, "virtual") == 0) return std::make_unique<VirtualMidiSystem>();
    if (any || std::strcmp(choice, "jack") == 0) {
        if (auto jack = JackMidiSystem::Open(clientName)) return jack;
        if (!any) std::fprintf(stderr, "orbilume: no JACK server answers; MIDI has no sources\n");
    } else {
        std::fprintf(stderr, "orbilume: unknown ORBILUME_MIDI \"%s\"; MIDI has no sources\n", choice);
    }
    return std::make_unique<VirtualMidiSystem>();
}

}  // namespace plat
