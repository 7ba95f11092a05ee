#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "Platform/MIDI/MidiSystemBase.h"

// A backend whose sources are listed from the system on demand: one device per client with one
// entity without a name, the client's sources below it. The backend sets fDirty when the system
// tells of a change and rebuilds fSources and fDevices in RefreshLocked. Source needs `id`,
// `device` and `name`; Device needs `id`, `entity` and `name`.
namespace plat {

template <class Source, class Device>
class MidiListedSystem : public MidiSystemBase {
public:
    MidiObjectId GetSource(uint32_t index) override {
        std::lock_guard<std::mutex> lock(fSourcesMutex);
        RefreshLocked();
        return index < fSources.size() ? fSources[index].id : 0;
    }
    uint32_t DeviceCount() override {
        std::lock_guard<std::mutex> lock(fSourcesMutex);
        RefreshLocked();
        return uint32_t(fDevices.size());
    }
    MidiObjectId GetDevice(uint32_t index) override {
        std::lock_guard<std::mutex> lock(fSourcesMutex);
        RefreshLocked();
        return index < fDevices.size() ? fDevices[index].id : 0;
    }
    uint32_t EntityCount(MidiObjectId device) override {
        std::lock_guard<std::mutex> lock(fSourcesMutex);
        RefreshLocked();
        return FindDeviceLocked(device, false) ? 1 : 0;
    }
    MidiObjectId GetEntity(MidiObjectId device, uint32_t index) override {
        std::lock_guard<std::mutex> lock(fSourcesMutex);
        RefreshLocked();
        const Device* d = FindDeviceLocked(device, false);
        return d && index == 0 ? d->entity : 0;
    }
    uint32_t EntitySourceCount(MidiObjectId entity) override {
        std::lock_guard<std::mutex> lock(fSourcesMutex);
        RefreshLocked();
        const Device* d = FindDeviceLocked(entity, true);
        uint32_t n = 0;
        if (d)
            for (const Source& s : fSources) n += s.device == d->id;
        return n;
    }
    MidiObjectId GetEntitySource(MidiObjectId entity, uint32_t index) override {
        std::lock_guard<std::mutex> lock(fSourcesMutex);
        RefreshLocked();
        const Device* d = FindDeviceLocked(entity, true);
        if (!d) return 0;
        for (const Source& s : fSources)
            if (s.device == d->id && index-- == 0) return s.id;
        return 0;
    }
    [[nodiscard]] bool GetName(MidiObjectId object, std::string& name) override {
        std::lock_guard<std::mutex> lock(fSourcesMutex);
        RefreshLocked();
        if (const Source* s = FindSourceLocked(object)) {
            name = s->name;
            return !name.empty();
        }
        if (const Device* d = FindDeviceLocked(object, false)) {
            name = d->name;
            return !name.empty();
        }
        return false;  // entities have no name
    }
    [[nodiscard]] bool GetOffline(MidiObjectId object, int32_t& offline) override {
        std::lock_guard<std::mutex> lock(fSourcesMutex);
        RefreshLocked();
        if (!FindSourceLocked(object) && !FindDeviceLocked(object, false) && !FindDeviceLocked(object, true))
            return false;
        offline = 0;
        return true;
    }

protected:
    // With fSourcesMutex held: rebuilds the lists when fDirty was set.
    virtual void RefreshLocked() = 0;

    const Source* FindSourceLocked(MidiObjectId id) const {
        for (const Source& s : fSources)
            if (s.id == id) return &s;
        return nullptr;
    }
    const Device* FindDeviceLocked(MidiObjectId id, bool byEntity) const {
        for (const Device& d : fDevices)
            if ((byEntity ? d.entity : d.id) == id) return &d;
        return nullptr;
    }

    std::mutex fSourcesMutex;
    std::atomic<bool> fDirty{true};
    std::vector<Source> fSources;  // in the system's order
    std::vector<Device> fDevices;
};

}  // namespace plat
