#pragma once

#include <string>
#include <vector>

#include "Platform/MIDI/MidiSystem.h"

// The composed name of a source: device name, blank, entity name, blank, source name. A name that
// cannot be read is left out with its blank; a source of no entity gives its own name; a null
// source gives "". The device and entity are found by walking every device, entity and source,
// each from the last to the first.
std::string MidiSourceName(plat::MidiSystem& system, plat::MidiObjectId source);

struct MidiSourceEntry {
    plat::MidiObjectId source;
    std::string name;
};

// Every source in system order with a name unique among them: the second and later sources whose
// composed name is taken get " 2", " 3", ... (the first free one), so a stored name keeps meaning
// the first source that bears it.
std::vector<MidiSourceEntry> ListMidiSources(plat::MidiSystem& system);

// The source whose unique name is `name`; 0 when none.
plat::MidiObjectId FindMidiSource(plat::MidiSystem& system, const std::string& name);
