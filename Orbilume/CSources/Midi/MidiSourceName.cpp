#include "Orbilume/CSources/Midi/MidiSourceName.h"

#include <algorithm>

namespace {

// Sources are few; a walk cut off this long protects against a system that keeps answering.
constexpr uint32_t kMaxSources = 4096;

void Append(std::string& out, plat::MidiSystem& system, plat::MidiObjectId object) {
    std::string name;
    if (!system.GetName(object, name)) return;
    if (!out.empty()) out += ' ';
    out += name;
}

}  // namespace

std::string MidiSourceName(plat::MidiSystem& system, plat::MidiObjectId source) {
    if (!source) return std::string();
    for (uint32_t d = system.DeviceCount(); d-- > 0;) {
        const plat::MidiObjectId device = system.GetDevice(d);
        for (uint32_t e = system.EntityCount(device); e-- > 0;) {
            const plat::MidiObjectId entity = system.GetEntity(device, e);
            for (uint32_t s = system.EntitySourceCount(entity); s-- > 0;) {
                if (system.GetEntitySource(entity, s) != source) continue;
                std::string out;
                Append(out, system, device);
                Append(out, system, entity);
                Append(out, system, source);
                return out;
            }
        }
    }
    std::string out;
    Append(out, system, source);
    return out;
}

std::vector<MidiSourceEntry> ListMidiSources(plat::MidiSystem& system) {
    std::vector<MidiSourceEntry> out;
    for (uint32_t i = 0; i < kMaxSources; ++i) {
        const plat::MidiObjectId source = system.GetSource(i);
        if (!source) break;
        out.push_back(MidiSourceEntry{source, MidiSourceName(system, source)});
    }
    auto taken = [&](const std::string& name, size_t before) {
        for (size_t k = 0; k < out.size(); ++k)
            if (k != before && out[k].name == name) return true;
        return false;
    };
    for (size_t i = 1; i < out.size(); ++i) {
        bool duplicate = false;
        for (size_t k = 0; k < i; ++k)
            if (out[k].name == out[i].name) duplicate = true;
        if (!duplicate) continue;
        const std::string base = out[i].name;
        for (uint32_t n = 2;; ++n) {
            std::string candidate = base + " " + std::to_string(n);
            if (!taken(candidate, i)) {
                out[i].name = std::move(candidate);
                break;
            }
        }
    }
    return out;
}

plat::MidiObjectId FindMidiSource(plat::MidiSystem& system, const std::string& name) {
    for (const MidiSourceEntry& e : ListMidiSources(system))
        if (e.name == name) return e.source;
    return 0;
}
