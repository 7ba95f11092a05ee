#include "Platform/MIDI/virtual/VirtualMidiSystem.h"

#include <algorithm>

namespace plat {

VirtualMidiSystem::VirtualMidiSystem() {
    fThread = std::thread([this] { Run(); });
}

VirtualMidiSystem::~VirtualMidiSystem() {
    DisposeAll();
    {
        std::lock_guard<std::mutex> lock(fQueueMutex);
        fStop = true;
    }
    fQueueChanged.notify_all();
    fThread.join();
}

void VirtualMidiSystem::Run() {
    SetMidiThread();
    std::unique_lock<std::mutex> lock(fQueueMutex);
    for (;;) {
        fQueueChanged.wait(lock, [this] { return fStop || !fQueue.empty(); });
        if (fStop) return;
        Packet p = std::move(fQueue.front());
        fQueue.pop_front();
        lock.unlock();
        Deliver(p.source, p.list.data(), p.list.size());
        lock.lock();
        ++fDelivered;
        fQueueChanged.notify_all();
    }
}

MidiObjectId VirtualMidiSystem::AddSource(const std::string& name, const std::string& device,
                                          const std::string& entity) {
    {
        std::lock_guard<std::mutex> lock(fObjectsMutex);
        MidiObjectId entityId = 0;
        if (!device.empty()) {
            const MidiObjectId deviceId = NewId();
            fObjects.push_back(Item{deviceId, 0, Item::kDevice, device});
            entityId = NewId();
            fObjects.push_back(Item{entityId, deviceId, Item::kEntity, entity});
        }
        fObjects.push_back(Item{NewId(), entityId, Item::kSource, name});
    }
    NotifySetupChanged();
    std::lock_guard<std::mutex> lock(fObjectsMutex);
    return fObjects.back().id;
}

void VirtualMidiSystem::RenameSource(MidiObjectId source, const std::string& name) {
    {
        std::lock_guard<std::mutex> lock(fObjectsMutex);
        for (Item& o : fObjects)
            if (o.id == source && o.kind == Item::kSource) o.name = name;
    }
    NotifySetupChanged();
}

void VirtualMidiSystem::RemoveSource(MidiObjectId source) {
    {
        std::lock_guard<std::mutex> lock(fObjectsMutex);
        fObjects.erase(
            std::remove_if(fObjects.begin(), fObjects.end(),
                           [&](const Item& o) { return o.id == source && o.kind == Item::kSource; }),
            fObjects.end());
    }
    NotifySetupChanged();
}

void VirtualMidiSystem::SetOffline(MidiObjectId source, bool offline) {
    std::lock_guard<std::mutex> lock(fObjectsMutex);
    for (Item& o : fObjects)
        if (o.id == source) o.offline = offline;
}

bool VirtualMidiSystem::Send(MidiObjectId source, std::vector<uint8_t> packetList) {
    {
        std::lock_guard<std::mutex> lock(fObjectsMutex);
        const Item* o = FindLocked(source);
        if (!o || o->kind != Item::kSource) return false;
    }
    {
        std::lock_guard<std::mutex> lock(fQueueMutex);
        fQueue.push_back(Packet{source, std::move(packetList)});
        ++fSent;
    }
    fQueueChanged.notify_all();
    return true;
}

void VirtualMidiSystem::Flush() {
    std::unique_lock<std::mutex> lock(fQueueMutex);
    const uint64_t target = fSent;
    fQueueChanged.wait(lock, [&] { return fStop || fDelivered >= target; });
}

bool VirtualMidiSystem::BackendConnect(MidiObjectId, MidiObjectId source) {
    std::lock_guard<std::mutex> lock(fObjectsMutex);
    const Item* o = FindLocked(source);
    return o && o->kind == Item::kSource;
}

const VirtualMidiSystem::Item* VirtualMidiSystem::FindLocked(MidiObjectId id) const {
    for (const Item& o : fObjects)
        if (o.id == id) return &o;
    return nullptr;
}

MidiObjectId VirtualMidiSystem::NthLocked(Item::Kind kind, MidiObjectId parent, uint32_t index) const {
    for (const Item& o : fObjects) {
        if (o.kind != kind || (kind != Item::kSource && o.parent != parent) ||
            (kind == Item::kSource && parent && o.parent != parent))
            continue;
        if (index-- == 0) return o.id;
    }
    return 0;
}

uint32_t VirtualMidiSystem::CountLocked(Item::Kind kind, MidiObjectId parent) const {
    uint32_t n = 0;
    while (NthLocked(kind, parent, n)) ++n;
    return n;
}

MidiObjectId VirtualMidiSystem::GetSource(uint32_t index) {
    std::lock_guard<std::mutex> lock(fObjectsMutex);
    return NthLocked(Item::kSource, 0, index);
}

uint32_t VirtualMidiSystem::DeviceCount() {
    std::lock_guard<std::mutex> lock(fObjectsMutex);
    return CountLocked(Item::kDevice, 0);
}

MidiObjectId VirtualMidiSystem::GetDevice(uint32_t index) {
    std::lock_guard<std::mutex> lock(fObjectsMutex);
    return NthLocked(Item::kDevice, 0, index);
}

uint32_t VirtualMidiSystem::EntityCount(MidiObjectId device) {
    std::lock_guard<std::mutex> lock(fObjectsMutex);
    return device ? CountLocked(Item::kEntity, device) : 0;
}

MidiObjectId VirtualMidiSystem::GetEntity(MidiObjectId device, uint32_t index) {
    std::lock_guard<std::mutex> lock(fObjectsMutex);
    return device ? NthLocked(Item::kEntity, device, index) : 0;
}

uint32_t VirtualMidiSystem::EntitySourceCount(MidiObjectId entity) {
    std::lock_guard<std::mutex> lock(fObjectsMutex);
    return entity ? CountLocked(Item::kSource, entity) : 0;
}

MidiObjectId VirtualMidiSystem::GetEntitySource(MidiObjectId entity, uint32_t index) {
    std::lock_guard<std::mutex> lock(fObjectsMutex);
    return entity ? NthLocked(Item::kSource, entity, index) : 0;
}

bool VirtualMidiSystem::GetName(MidiObjectId object, std::string& name) {
    std::lock_guard<std::mutex> lock(fObjectsMutex);
    const Item* o = FindLocked(object);
    if (!o || o->name.empty()) return false;
    name = o->name;
    return true;
}

bool VirtualMidiSystem::GetOffline(MidiObjectId object, int32_t& offline) {
    std::lock_guard<std::mutex> lock(fObjectsMutex);
    const Item* o = FindLocked(object);
    if (!o) return false;
    offline = o->offline ? 1 : 0;
    return true;
}

}  // namespace plat
