#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Platform/MIDI/MidiSystemBase.h"

// In-process MIDI sources that tests create, rename, remove and feed. Every change notifies the
// clients; packet lists sent to a source reach its connected ports on this system's own MIDI
// thread, in the order sent. Deterministic: nothing else adds sources.
namespace plat {

class VirtualMidiSystem : public MidiSystemBase {
public:
    VirtualMidiSystem();
    ~VirtualMidiSystem() override;

    const char* BackendName() const override { return "virtual"; }

    // A source of a device with one entity. An empty device name makes a source that belongs to
    // no device; an empty entity name gives an entity without a name.
    MidiObjectId AddSource(const std::string& name, const std::string& device = "",
                           const std::string& entity = "");
    void RenameSource(MidiObjectId source, const std::string& name);
    void RemoveSource(MidiObjectId source);
    void SetOffline(MidiObjectId source, bool offline);
    // Queues the list for delivery; false for an unknown source.
    [[nodiscard]] bool Send(MidiObjectId source, std::vector<uint8_t> packetList);
    // Waits until everything sent so far has been delivered.
    void Flush();

    MidiObjectId GetSource(uint32_t index) override;
    uint32_t DeviceCount() override;
    MidiObjectId GetDevice(uint32_t index) override;
    uint32_t EntityCount(MidiObjectId device) override;
    MidiObjectId GetEntity(MidiObjectId device, uint32_t index) override;
    uint32_t EntitySourceCount(MidiObjectId entity) override;
    MidiObjectId GetEntitySource(MidiObjectId entity, uint32_t index) override;
    [[nodiscard]] bool GetName(MidiObjectId object, std::string& name) override;
    [[nodiscard]] bool GetOffline(MidiObjectId object, int32_t& offline) override;

protected:
    [[nodiscard]] bool BackendConnect(MidiObjectId port, MidiObjectId source) override;

private:
    struct Item {
        MidiObjectId id;
        MidiObjectId parent;  // entity of a source, device of an entity, 0 otherwise
        enum Kind { kDevice, kEntity, kSource } kind;
        std::string name;
        bool offline = false;
    };
    struct Packet {
        MidiObjectId source;
        std::vector<uint8_t> list;
    };
    void Run();
    const Item* FindLocked(MidiObjectId id) const;
    MidiObjectId NthLocked(Item::Kind kind, MidiObjectId parent, uint32_t index) const;
    uint32_t CountLocked(Item::Kind kind, MidiObjectId parent) const;

    std::mutex fObjectsMutex;
    std::vector<Item> fObjects;  // in creation order

    std::mutex fQueueMutex;
    std::condition_variable fQueueChanged;
    std::deque<Packet> fQueue;
    uint64_t fSent = 0;
    uint64_t fDelivered = 0;
    bool fStop = false;
    std::thread fThread;
};

}  // namespace plat
