#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// The MIDI system of the machine: clients, input ports, and the sources other programs and devices
// offer, walked by index or as devices -> entities -> sources. Objects are ids (0 = none); an id is
// never reused while the system lives, so a vanished source simply stops answering.
//
// Threads: every call may come from any thread. A client's notifications run on the run loop of
// the thread that created it (coalesced: one "setup changed" for a burst of changes). A port's read
// procedure runs on the system's MIDI thread, one packet list at a time in arrival order; the list
// is borrowed for the call. DisposePort returns once no read procedure of that port runs (called
// from the MIDI thread itself it only stops further calls).
namespace plat {

using MidiObjectId = uint32_t;

enum : int32_t { kMidiNotifySetupChanged = 1 };

using MidiNotifyProc = void (*)(int32_t notification, void* context);
using MidiReadProc = void (*)(const uint8_t* packetList, size_t byteSize, void* portContext);

class MidiSystem {
public:
    virtual ~MidiSystem() = default;

    // "alsa", "jack" or "virtual".
    virtual const char* BackendName() const = 0;

    // 0 when the client cannot be made.
    virtual MidiObjectId CreateClient(const std::string& name, MidiNotifyProc notify, void* context) = 0;
    virtual void DisposeClient(MidiObjectId client) = 0;
    // 0 when the client is unknown or the port cannot be made.
    virtual MidiObjectId CreateInputPort(MidiObjectId client, const std::string& name, MidiReadProc read,
                                         void* context) = 0;
    virtual void DisposePort(MidiObjectId port) = 0;
    [[nodiscard]] virtual bool ConnectSource(MidiObjectId port, MidiObjectId source) = 0;
    virtual void DisconnectSource(MidiObjectId port, MidiObjectId source) = 0;

    // Sources in system order; 0 past the end.
    virtual MidiObjectId GetSource(uint32_t index) = 0;
    virtual uint32_t DeviceCount() = 0;
    virtual MidiObjectId GetDevice(uint32_t index) = 0;
    virtual uint32_t EntityCount(MidiObjectId device) = 0;
    virtual MidiObjectId GetEntity(MidiObjectId device, uint32_t index) = 0;
    virtual uint32_t EntitySourceCount(MidiObjectId entity) = 0;
    virtual MidiObjectId GetEntitySource(MidiObjectId entity, uint32_t index) = 0;

    // False when the object is unknown or has no name.
    [[nodiscard]] virtual bool GetName(MidiObjectId object, std::string& name) = 0;
    // False when the object is unknown.
    [[nodiscard]] virtual bool GetOffline(MidiObjectId object, int32_t& offline) = 0;
};

// ORBILUME_MIDI=alsa|jack|virtual; else ALSA when the kernel offers the sequencer, else JACK when a
// server answers (never starting one), else the virtual system (no sources). A named backend that
// cannot start gives the virtual one, with a message on stderr.
std::unique_ptr<MidiSystem> MakeMidiSystemFromEnvironment(const std::string& clientName);

}  // namespace plat
