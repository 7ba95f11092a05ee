#pragma once

#include <jack/jack.h>
#include <jack/ringbuffer.h>
#include <semaphore.h>

#include <array>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Platform/MIDI/MidiListedSystem.h"

// MIDI through a JACK server that is already running (never starts one). Sources are the MIDI
// output ports of other JACK clients: device = client name (one entity without a name), source =
// the port's short name. Each input port is a JACK input port of our client. JACK's process
// callback only copies events into a lock-free ring; our MIDI thread turns them into packet lists
// (one packet per event) and delivers them. Port registration, rename and client changes notify.
namespace plat {

struct JackMidiSource {
    MidiObjectId id;
    MidiObjectId device;
    std::string fullName;
    std::string name;  // the port's short name
};
struct JackMidiDevice {
    MidiObjectId id;
    MidiObjectId entity;
    std::string name;
};

class JackMidiSystem : public MidiListedSystem<JackMidiSource, JackMidiDevice> {
public:
    static constexpr uint32_t kMaxPorts = 64;
    static constexpr size_t kRingBytes = 1 << 18;
    static constexpr size_t kMaxEventBytes = 8192;  // longer events are dropped

    // Null when no server answers.
    static std::unique_ptr<JackMidiSystem> Open(const std::string& clientName);
    ~JackMidiSystem() override;

    const char* BackendName() const override { return "jack"; }
    // Events the ring had no room for, or that were too long.
    uint32_t DroppedEvents() const { return fDropped.load(std::memory_order_relaxed); }
    // Our JACK client's name (tests connect to it).
    std::string ClientName() const;
    // The full JACK name of one of our ports; empty when unknown.
    std::string PortFullName(MidiObjectId port);

protected:
    [[nodiscard]] bool BackendCreatePort(MidiObjectId port, const std::string& name) override;
    void BackendDisposePort(MidiObjectId port) override;
    [[nodiscard]] bool BackendConnect(MidiObjectId port, MidiObjectId source) override;
    void BackendDisconnect(MidiObjectId port, MidiObjectId source) override;

private:
    using Source = JackMidiSource;
    using Device = JackMidiDevice;
    JackMidiSystem() = default;
    struct Slot {
        std::atomic<jack_port_t*> port{nullptr};
        std::atomic<MidiObjectId> id{0};
    };
    static int Process(jack_nframes_t frames, void* arg);
    static void PortRegistered(jack_port_id_t, int, void* arg);
    static void PortRenamed(jack_port_id_t, const char*, const char*, void* arg);
    static void ClientRegistered(const char*, int, void* arg);
    static void ShutDown(void* arg);
    void Changed();
    void Run();
    void RefreshLocked() override;
    Slot* FindSlot(MidiObjectId port);
    void WaitCycles();

    jack_client_t* fClient = nullptr;
    jack_ringbuffer_t* fRing = nullptr;
    sem_t fWake;
    bool fSemaphore = false;
    std::array<Slot, kMaxPorts> fSlots;
    std::atomic<uint32_t> fCycles{0};
    std::atomic<uint32_t> fDropped{0};
    std::atomic<bool> fStop{false};
    std::atomic<bool> fDead{false};
    std::thread fThread;

    std::map<std::string, MidiObjectId> fIds;  // full port names and "client:" names seen so far
    std::map<std::string, MidiObjectId> fEntityIds;
};

}  // namespace plat
