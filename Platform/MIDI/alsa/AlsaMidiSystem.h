#pragma once

#include <alsa/asoundlib.h>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Platform/MIDI/MidiSystemBase.h"

// MIDI through the ALSA sequencer. Sources are the readable, subscribable MIDI ports of other
// clients: device = client name (one entity without a name), source = port name. Each input port
// is a writable port of our client, subscribed to its source. The system announce port tells of
// setup changes. Our MIDI thread waits on the sequencer, turns events back into bytes
// (snd_midi_event_decode), one packet per event, and delivers them.
namespace plat {

class AlsaMidiSystem : public MidiSystemBase {
public:
    static constexpr size_t kMaxEventBytes = 8192;

    // Null when the kernel offers no sequencer.
    static std::unique_ptr<AlsaMidiSystem> Open(const std::string& clientName);
    // The kernel's sequencer device exists.
    static bool Available();
    ~AlsaMidiSystem() override;

    const char* BackendName() const override { return "alsa"; }
    int ClientNumber() const { return fClientNumber; }

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
    [[nodiscard]] bool BackendCreatePort(MidiObjectId port, const std::string& name) override;
    void BackendDisposePort(MidiObjectId port) override;
    [[nodiscard]] bool BackendConnect(MidiObjectId port, MidiObjectId source) override;
    void BackendDisconnect(MidiObjectId port, MidiObjectId source) override;

private:
    AlsaMidiSystem() = default;
    struct Source {
        MidiObjectId id;
        MidiObjectId device;
        int client;
        int port;
        std::string name;
    };
    struct Device {
        MidiObjectId id;
        MidiObjectId entity;
        int client;
        std::string name;
    };
    void Run();
    void RefreshLocked();
    const Source* FindSourceLocked(MidiObjectId id) const;
    const Device* FindDeviceLocked(MidiObjectId id, bool byEntity) const;
    MidiObjectId PortIdOf(int alsaPort);
    int AlsaPortOf(MidiObjectId port);

    snd_seq_t* fSeq = nullptr;
    int fClientNumber = -1;
    int fAnnouncePort = -1;
    int fStopFd = -1;
    std::atomic<bool> fStop{false};
    std::thread fThread;

    std::mutex fPortsMutex;
    std::map<MidiObjectId, int> fPorts;  // our ports -> ALSA port numbers

    std::mutex fSourcesMutex;
    std::atomic<bool> fDirty{true};
    std::vector<Source> fSources;  // client then port order
    std::vector<Device> fDevices;
    std::map<int, MidiObjectId> fSourceIds;  // client << 8 | port
    std::map<int, MidiObjectId> fDeviceIds;  // client
    std::map<int, MidiObjectId> fEntityIds;  // client
};

}  // namespace plat
