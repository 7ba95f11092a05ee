#pragma once

#include <alsa/asoundlib.h>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Platform/MIDI/MidiListedSystem.h"

// MIDI through the ALSA sequencer. Sources are the readable, subscribable MIDI ports of other
// clients: device = client name (one entity without a name), source = port name. Each input port
// is a writable port of our client, subscribed to its source. The system announce port tells of
// setup changes. Our MIDI thread waits on the sequencer, turns events back into bytes
// (snd_midi_event_decode), one packet per event, and delivers them.
namespace plat {

struct AlsaMidiSource {
    MidiObjectId id;
    MidiObjectId device;
    int client;
    int port;
    std::string name;
};
struct AlsaMidiDevice {
    MidiObjectId id;
    MidiObjectId entity;
    int client;
    std::string name;
};

class AlsaMidiSystem : public MidiListedSystem<AlsaMidiSource, AlsaMidiDevice> {
public:
    static constexpr size_t kMaxEventBytes = 8192;

    // Null when the kernel offers no sequencer.
    static std::unique_ptr<AlsaMidiSystem> Open(const std::string& clientName);
    // The kernel's sequencer device exists.
    static bool Available();
    ~AlsaMidiSystem() override;

    const char* BackendName() const override { return "alsa"; }
    int ClientNumber() const { return fClientNumber; }

protected:
    [[nodiscard]] bool BackendCreatePort(MidiObjectId port, const std::string& name) override;
    void BackendDisposePort(MidiObjectId port) override;
    [[nodiscard]] bool BackendConnect(MidiObjectId port, MidiObjectId source) override;
    void BackendDisconnect(MidiObjectId port, MidiObjectId source) override;

private:
    using Source = AlsaMidiSource;
    using Device = AlsaMidiDevice;
    AlsaMidiSystem() = default;
    void Run();
    void RefreshLocked() override;
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

    std::map<int, MidiObjectId> fSourceIds;  // client << 8 | port
    std::map<int, MidiObjectId> fDeviceIds;  // client
    std::map<int, MidiObjectId> fEntityIds;  // client
};

}  // namespace plat
