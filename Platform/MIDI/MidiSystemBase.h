#pragma once

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "Platform/Foundation/Object.h"
#include "Platform/Foundation/RunLoop.h"
#include "Platform/MIDI/MidiSystem.h"

// What every backend shares: ids, clients with their notifications on the creating thread's run
// loop, input ports with their read procedures and connections, and delivery from the MIDI thread.
// A backend adds the sources and calls Deliver from its MIDI thread.
namespace plat {

class MidiSystemBase : public MidiSystem {
public:
    MidiSystemBase() = default;
    ~MidiSystemBase() override;

    MidiObjectId CreateClient(const std::string& name, MidiNotifyProc notify, void* context) override;
    void DisposeClient(MidiObjectId client) override;
    MidiObjectId CreateInputPort(MidiObjectId client, const std::string& name, MidiReadProc read,
                                 void* context) override;
    void DisposePort(MidiObjectId port) override;
    [[nodiscard]] bool ConnectSource(MidiObjectId port, MidiObjectId source) override;
    void DisconnectSource(MidiObjectId port, MidiObjectId source) override;

    // Ports that exist now (tests).
    uint32_t PortCount();

protected:
    // A new id, never 0 and never given before.
    MidiObjectId NewId() { return fNextId.fetch_add(1, std::memory_order_relaxed); }
    // Any thread: every client hears "setup changed" on its run loop.
    void NotifySetupChanged();
    // MIDI thread: hands the list to every port connected to the source, in port creation order.
    void Deliver(MidiObjectId source, const uint8_t* list, size_t byteSize);
    // MIDI thread: hands the list to one port (backends whose ports each have their own feed).
    void DeliverToPort(MidiObjectId port, const uint8_t* list, size_t byteSize);
    // Marks the calling thread as the MIDI thread (DisposePort from it does not wait).
    void SetMidiThread() { fMidiThread = std::this_thread::get_id(); }
    // Disposes every port and client (a backend calls it before it stops its MIDI thread).
    void DisposeAll();

    // Hooks, called without the base's lock. A source the backend does not know fails the connect.
    [[nodiscard]] virtual bool BackendCreatePort(MidiObjectId /*port*/, const std::string& /*name*/) {
        return true;
    }
    virtual void BackendDisposePort(MidiObjectId /*port*/) {}
    [[nodiscard]] virtual bool BackendConnect(MidiObjectId port, MidiObjectId source) = 0;
    virtual void BackendDisconnect(MidiObjectId /*port*/, MidiObjectId /*source*/) {}

private:
    struct Client {
        MidiObjectId id;
        MidiNotifyProc notify;
        void* context;
        Ref<RunLoopSource> source;
    };
    struct Port {
        MidiObjectId id;
        MidiObjectId client;
        MidiReadProc read;
        void* context;
        std::vector<MidiObjectId> sources;
    };
    struct NotifyInfo {
        MidiSystemBase* system;
        MidiObjectId client;
    };
    static void PerformNotify(void* info);
    void LockDelivery();
    void UnlockDelivery();
    Port* FindPortLocked(MidiObjectId id);
    bool PortLive(MidiObjectId id, MidiReadProc& read, void*& context);

    std::atomic<MidiObjectId> fNextId{1};
    std::mutex fMutex;         // clients and ports
    std::mutex fDeliverMutex;  // held while read procedures run, and while ports go away
    std::thread::id fMidiThread;
    std::vector<Client> fClients;
    std::vector<std::unique_ptr<NotifyInfo>> fNotifyInfos;
    std::vector<Port> fPorts;
};

}  // namespace plat
