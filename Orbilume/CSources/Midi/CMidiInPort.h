#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "Orbilume/CSources/Midi/MidiInMessage.h"
#include "Platform/MIDI/MidiSystem.h"

class CMidiClient;

// An input port on the global MIDI client, connected to at most one source at a time. Received
// packet lists are split into messages (ReadMidiPacketList) and handed to the callback stored by
// the last successful Connect, on the MIDI thread. Create, Connect, Disconnect and deletion run on
// the main thread; deleting the port waits for a read in progress.
class CMidiInPort {
public:
    enum : int { kConnected = 0, kNoPort = 1, kNoSource = 2 };

    // A port named `name`; without a global client it exists but never delivers.
    static std::unique_ptr<CMidiInPort> Create(const std::string& name);
    virtual ~CMidiInPort();
    CMidiInPort(const CMidiInPort&) = delete;
    CMidiInPort& operator=(const CMidiInPort&) = delete;

    // A source is connected and reads as online.
    virtual bool IsOnline();
    // Disconnects, then connects the first source whose composed name (MidiSourceName) is `name`.
    // kConnected, kNoPort (no port, or the system refused), kNoSource.
    [[nodiscard]] virtual int Connect(const std::string& name, void* context, MidiInProc function);
    // Stops delivery; the stored callback stays.
    virtual void Disconnect();

    plat::MidiObjectId PortRef() const { return fPort; }
    plat::MidiObjectId ConnectedSource() const { return fSource; }

protected:
    CMidiInPort(CMidiClient* client, const std::string& name);

private:
    static void ReadProc(const uint8_t* list, size_t byteSize, void* context);

    CMidiClient* fClient;  // borrowed: the global client outlives every port
    plat::MidiObjectId fPort = 0;
    plat::MidiObjectId fSource = 0;
    std::mutex fMutex;  // the callback pair
    void* fContext = nullptr;
    MidiInProc fFunction = nullptr;
};
