#include "Platform/MIDI/MidiSystemBase.h"

#include <algorithm>
#include <array>

namespace plat {

MidiSystemBase::~MidiSystemBase() {
    DisposeAll();
}

void MidiSystemBase::DisposeAll() {
    std::vector<MidiObjectId> ports;
    std::vector<MidiObjectId> clients;
    {
        std::lock_guard<std::mutex> lock(fMutex);
        for (const Port& p : fPorts) ports.push_back(p.id);
        for (const Client& c : fClients) clients.push_back(c.id);
    }
    for (MidiObjectId p : ports) DisposePort(p);
    for (MidiObjectId c : clients) DisposeClient(c);
}

MidiObjectId MidiSystemBase::CreateClient(const std::string& /*name*/, MidiNotifyProc notify, void* context) {
    RunLoop* loop = RunLoop::Current();
    if (!loop) return 0;
    const MidiObjectId id = NewId();
    auto info = std::make_unique<NotifyInfo>(NotifyInfo{this, id});
    Ref<RunLoopSource> source = RunLoopSource::Create(PerformNotify, info.get());
    if (!source || !loop->AddSource(source.get(), kRunLoopCommonModes)) return 0;
    std::lock_guard<std::mutex> lock(fMutex);
    fClients.push_back(Client{id, notify, context, source});
    fNotifyInfos.push_back(std::move(info));
    return id;
}

void MidiSystemBase::DisposeClient(MidiObjectId client) {
    std::vector<MidiObjectId> ports;
    {
        std::lock_guard<std::mutex> lock(fMutex);
        for (const Port& p : fPorts)
            if (p.client == client) ports.push_back(p.id);
    }
    for (MidiObjectId p : ports) DisposePort(p);
    Ref<RunLoopSource> source;
    {
        std::lock_guard<std::mutex> lock(fMutex);
        auto it =
            std::find_if(fClients.begin(), fClients.end(), [&](const Client& c) { return c.id == client; });
        if (it == fClients.end()) return;
        source = it->source;
        fClients.erase(it);
    }
    // The info stays until the system goes: a perform already taken may still read it.
    if (source) source->Invalidate();
}

void MidiSystemBase::PerformNotify(void* info) {
    auto* n = static_cast<NotifyInfo*>(info);
    MidiNotifyProc notify = nullptr;
    void* context = nullptr;
    {
        std::lock_guard<std::mutex> lock(n->system->fMutex);
        for (const Client& c : n->system->fClients)
            if (c.id == n->client) {
                notify = c.notify;
                context = c.context;
            }
    }
    if (notify) notify(kMidiNotifySetupChanged, context);
}

void MidiSystemBase::NotifySetupChanged() {
    std::lock_guard<std::mutex> lock(fMutex);
    for (const Client& c : fClients) c.source->Signal();
}

MidiObjectId MidiSystemBase::CreateInputPort(MidiObjectId client, const std::string& name, MidiReadProc read,
                                             void* context) {
    {
        std::lock_guard<std::mutex> lock(fMutex);
        if (std::none_of(fClients.begin(), fClients.end(), [&](const Client& c) { return c.id == client; }))
            return 0;
    }
    const MidiObjectId id = NewId();
    if (!BackendCreatePort(id, name)) return 0;
    std::lock_guard<std::mutex> lock(fMutex);
    fPorts.push_back(Port{id, client, read, context, {}});
    return id;
}

void MidiSystemBase::LockDelivery() {
    if (std::this_thread::get_id() != fMidiThread) fDeliverMutex.lock();
}

void MidiSystemBase::UnlockDelivery() {
    if (std::this_thread::get_id() != fMidiThread) fDeliverMutex.unlock();
}

void MidiSystemBase::DisposePort(MidiObjectId port) {
    std::vector<MidiObjectId> sources;
    LockDelivery();
    {
        std::lock_guard<std::mutex> lock(fMutex);
        auto it = std::find_if(fPorts.begin(), fPorts.end(), [&](const Port& p) { return p.id == port; });
        if (it != fPorts.end()) {
            sources = it->sources;
            fPorts.erase(it);
        } else {
            port = 0;
        }
    }
    UnlockDelivery();
    if (!port) return;
    for (MidiObjectId s : sources) BackendDisconnect(port, s);
    BackendDisposePort(port);
}

MidiSystemBase::Port* MidiSystemBase::FindPortLocked(MidiObjectId id) {
    for (Port& p : fPorts)
        if (p.id == id) return &p;
    return nullptr;
}

bool MidiSystemBase::ConnectSource(MidiObjectId port, MidiObjectId source) {
    {
        std::lock_guard<std::mutex> lock(fMutex);
        Port* p = FindPortLocked(port);
        if (!p || source == 0) return false;
        if (std::find(p->sources.begin(), p->sources.end(), source) != p->sources.end()) return true;
    }
    if (!BackendConnect(port, source)) return false;
    std::lock_guard<std::mutex> lock(fMutex);
    Port* p = FindPortLocked(port);
    if (!p) return false;
    p->sources.push_back(source);
    return true;
}

void MidiSystemBase::DisconnectSource(MidiObjectId port, MidiObjectId source) {
    {
        std::lock_guard<std::mutex> lock(fMutex);
        Port* p = FindPortLocked(port);
        if (!p) return;
        auto it = std::find(p->sources.begin(), p->sources.end(), source);
        if (it == p->sources.end()) return;
        p->sources.erase(it);
    }
    BackendDisconnect(port, source);
}

uint32_t MidiSystemBase::PortCount() {
    std::lock_guard<std::mutex> lock(fMutex);
    return uint32_t(fPorts.size());
}

bool MidiSystemBase::PortLive(MidiObjectId id, MidiReadProc& read, void*& context) {
    std::lock_guard<std::mutex> lock(fMutex);
    Port* p = FindPortLocked(id);
    if (!p || !p->read) return false;
    read = p->read;
    context = p->context;
    return true;
}

void MidiSystemBase::Deliver(MidiObjectId source, const uint8_t* list, size_t byteSize) {
    std::lock_guard<std::mutex> deliver(fDeliverMutex);
    // A fixed array: no allocation on the MIDI thread; more ports on one source are not served.
    std::array<MidiObjectId, 64> targets;
    size_t n = 0;
    {
        std::lock_guard<std::mutex> lock(fMutex);
        for (const Port& p : fPorts) {
            if (n == targets.size()) break;
            if (std::find(p.sources.begin(), p.sources.end(), source) != p.sources.end()) targets[n++] = p.id;
        }
    }
    for (size_t i = 0; i < n; ++i) {
        MidiReadProc read = nullptr;
        void* context = nullptr;
        // A read procedure may have disposed a later port.
        if (PortLive(targets[i], read, context)) read(list, byteSize, context);
    }
}

void MidiSystemBase::DeliverToPort(MidiObjectId port, const uint8_t* list, size_t byteSize) {
    std::lock_guard<std::mutex> deliver(fDeliverMutex);
    MidiReadProc read = nullptr;
    void* context = nullptr;
    if (PortLive(port, read, context)) read(list, byteSize, context);
}

}  // namespace plat
