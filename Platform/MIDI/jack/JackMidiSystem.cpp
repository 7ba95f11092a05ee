#include "Platform/MIDI/jack/JackMidiSystem.h"

#include <jack/midiport.h>
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "Platform/Foundation/Bytes.h"
#include "Platform/MIDI/MidiPacketList.h"

namespace plat {

namespace {

constexpr size_t kEventHeader = 4 + 4 + 2;  // port id, frame time, length

// libjack reports a missing server on stderr; asking whether one runs is no error.
std::atomic<bool> gQuiet{false};

void ReportError(const char* message) {
    if (!gQuiet.load()) std::fprintf(stderr, "jack: %s\n", message);
}

void ReportInfo(const char*) {}

}  // namespace

std::unique_ptr<JackMidiSystem> JackMidiSystem::Open(const std::string& clientName) {
    jack_set_error_function(ReportError);
    jack_set_info_function(ReportInfo);
    jack_status_t status{};
    gQuiet = true;
    jack_client_t* client = jack_client_open(clientName.c_str(), JackNoStartServer, &status);
    gQuiet = false;
    if (!client) return nullptr;
    std::unique_ptr<JackMidiSystem> system(new JackMidiSystem());
    system->fClient = client;
    system->fRing = jack_ringbuffer_create(kRingBytes);
    if (!system->fRing || jack_ringbuffer_mlock(system->fRing) != 0) {
        // Not locked in memory: it still works, with a page fault risk on the first cycles.
    }
    if (!system->fRing) return nullptr;
    system->fSemaphore = sem_init(&system->fWake, 0, 0) == 0;
    if (!system->fSemaphore) return nullptr;
    jack_set_process_callback(client, Process, system.get());
    jack_set_port_registration_callback(client, PortRegistered, system.get());
    jack_set_port_rename_callback(client, PortRenamed, system.get());
    jack_set_client_registration_callback(client, ClientRegistered, system.get());
    jack_on_shutdown(client, ShutDown, system.get());
    system->fThread = std::thread([s = system.get()] { s->Run(); });
    if (jack_activate(client) != 0) return nullptr;
    return system;
}

JackMidiSystem::~JackMidiSystem() {
    DisposeAll();
    if (fClient) {
        jack_deactivate(fClient);
        jack_client_close(fClient);
        fClient = nullptr;
    }
    fStop = true;
    if (fSemaphore) sem_post(&fWake);
    if (fThread.joinable()) fThread.join();
    if (fSemaphore) sem_destroy(&fWake);
    if (fRing) jack_ringbuffer_free(fRing);
}

std::string JackMidiSystem::ClientName() const {
    return fClient ? jack_get_client_name(fClient) : "";
}

// JACK's real-time thread: copies events into the ring; no lock, no allocation.
int JackMidiSystem::Process(jack_nframes_t frames, void* arg) {
    auto* self = static_cast<JackMidiSystem*>(arg);
    const jack_nframes_t base = jack_last_frame_time(self->fClient);
    bool wrote = false;
    for (Slot& slot : self->fSlots) {
        jack_port_t* port = slot.port.load(std::memory_order_acquire);
        if (!port) continue;
        const MidiObjectId id = slot.id.load(std::memory_order_relaxed);
        void* buffer = jack_port_get_buffer(port, frames);
        const uint32_t n = jack_midi_get_event_count(buffer);
        for (uint32_t i = 0; i < n; ++i) {
            jack_midi_event_t event;
            if (jack_midi_event_get(&event, buffer, i) != 0) continue;
            if (event.size == 0 || event.size > kMaxEventBytes ||
                jack_ringbuffer_write_space(self->fRing) < kEventHeader + event.size) {
                self->fDropped.fetch_add(1, std::memory_order_relaxed);
                continue;
            }
            uint8_t header[kEventHeader];
            StoreLE32(header, id);
            StoreLE32(header + 4, base + event.time);
            StoreLE16(header + 8, uint16_t(event.size));
            jack_ringbuffer_write(self->fRing, reinterpret_cast<const char*>(header), kEventHeader);
            jack_ringbuffer_write(self->fRing, reinterpret_cast<const char*>(event.buffer), event.size);
            wrote = true;
        }
    }
    self->fCycles.fetch_add(1, std::memory_order_release);
    if (wrote) sem_post(&self->fWake);
    return 0;
}

void JackMidiSystem::Run() {
    SetMidiThread();
    // Consecutive events of one port go out as one list; the buffers live as long as the thread.
    std::vector<uint8_t> list(kMaxEventBytes * 2 + 64);
    std::vector<uint8_t> event(kMaxEventBytes);
    MidiPacketListWriter writer(list.data(), list.size());
    while (!fStop.load()) {
        timespec deadline{};
        clock_gettime(CLOCK_REALTIME, &deadline);
        deadline.tv_nsec += 100 * 1000 * 1000;
        if (deadline.tv_nsec >= 1000000000) {
            deadline.tv_sec += 1;
            deadline.tv_nsec -= 1000000000;
        }
        sem_timedwait(&fWake, &deadline);
        MidiObjectId current = 0;
        writer.Clear();
        for (;;) {
            uint8_t header[kEventHeader];
            if (jack_ringbuffer_read_space(fRing) < kEventHeader) break;
            jack_ringbuffer_read(fRing, reinterpret_cast<char*>(header), kEventHeader);
            const MidiObjectId port = LoadLE32(header);
            const uint32_t time = LoadLE32(header + 4);
            const uint16_t size = LoadLE16(header + 8);
            jack_ringbuffer_read(fRing, reinterpret_cast<char*>(event.data()), size);
            if (writer.Count() > 0 && (port != current || writer.Room() < size)) {
                DeliverToPort(current, writer.Data(), writer.ByteSize());
                writer.Clear();
            }
            current = port;
            (void)writer.Add(time, event.data(), size);
        }
        if (writer.Count() > 0) DeliverToPort(current, writer.Data(), writer.ByteSize());
    }
}

void JackMidiSystem::Changed() {
    fDirty = true;
    NotifySetupChanged();
}

void JackMidiSystem::PortRegistered(jack_port_id_t, int, void* arg) {
    static_cast<JackMidiSystem*>(arg)->Changed();
}

void JackMidiSystem::PortRenamed(jack_port_id_t, const char*, const char*, void* arg) {
    static_cast<JackMidiSystem*>(arg)->Changed();
}

void JackMidiSystem::ClientRegistered(const char*, int, void* arg) {
    static_cast<JackMidiSystem*>(arg)->Changed();
}

void JackMidiSystem::ShutDown(void* arg) {
    auto* self = static_cast<JackMidiSystem*>(arg);
    self->fDead = true;
    self->Changed();
}

void JackMidiSystem::RefreshLocked() {
    if (!fDirty.exchange(false)) return;
    fSources.clear();
    fDevices.clear();
    if (fDead.load()) return;
    const std::string own = ClientName() + ":";
    const char** names = jack_get_ports(fClient, nullptr, JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput);
    for (size_t i = 0; names && names[i]; ++i) {
        const std::string full = names[i];
        const size_t colon = full.find(':');
        if (colon == std::string::npos || full.compare(0, own.size(), own) == 0) continue;
        const std::string clientName = full.substr(0, colon + 1);
        MidiObjectId& sourceId = fIds[full];
        if (!sourceId) sourceId = NewId();
        MidiObjectId& deviceId = fIds[clientName];
        if (!deviceId) deviceId = NewId();
        MidiObjectId& entityId = fEntityIds[clientName];
        if (!entityId) entityId = NewId();
        if (!FindDeviceLocked(deviceId, false))
            fDevices.push_back(Device{deviceId, entityId, clientName.substr(0, colon)});
        fSources.push_back(Source{sourceId, deviceId, full, full.substr(colon + 1)});
    }
    if (names) jack_free(names);
}

JackMidiSystem::Slot* JackMidiSystem::FindSlot(MidiObjectId port) {
    for (Slot& s : fSlots)
        if (s.id.load() == port && s.port.load()) return &s;
    return nullptr;
}

std::string JackMidiSystem::PortFullName(MidiObjectId port) {
    Slot* s = FindSlot(port);
    return s ? jack_port_name(s->port.load()) : "";
}

bool JackMidiSystem::BackendCreatePort(MidiObjectId port, const std::string& name) {
    if (fDead.load()) return false;
    Slot* free = nullptr;
    for (Slot& s : fSlots)
        if (!s.port.load() && !s.id.load()) {
            free = &s;
            break;
        }
    if (!free) return false;
    // Port names must be unique within the client.
    const std::string unique = (name.empty() ? std::string("in") : name) + "-" + std::to_string(port);
    jack_port_t* p = jack_port_register(fClient, unique.c_str(), JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    if (!p) return false;
    free->id.store(port, std::memory_order_relaxed);
    free->port.store(p, std::memory_order_release);
    return true;
}

// Two finished cycles after a slot was cleared, no cycle still uses its port.
void JackMidiSystem::WaitCycles() {
    const uint32_t start = fCycles.load(std::memory_order_acquire);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    while (fCycles.load(std::memory_order_acquire) - start < 2 && !fDead.load() &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void JackMidiSystem::BackendDisposePort(MidiObjectId port) {
    Slot* s = FindSlot(port);
    if (!s) return;
    jack_port_t* p = s->port.exchange(nullptr, std::memory_order_acq_rel);
    WaitCycles();
    s->id.store(0);
    if (p && !fDead.load()) jack_port_unregister(fClient, p);
}

bool JackMidiSystem::BackendConnect(MidiObjectId port, MidiObjectId source) {
    std::string from;
    {
        std::lock_guard<std::mutex> lock(fSourcesMutex);
        RefreshLocked();
        const Source* s = FindSourceLocked(source);
        if (!s) return false;
        from = s->fullName;
    }
    const std::string to = PortFullName(port);
    if (to.empty() || fDead.load()) return false;
    const int r = jack_connect(fClient, from.c_str(), to.c_str());
    return r == 0 || r == EEXIST;
}

void JackMidiSystem::BackendDisconnect(MidiObjectId port, MidiObjectId source) {
    std::string from;
    {
        std::lock_guard<std::mutex> lock(fSourcesMutex);
        const Source* s = FindSourceLocked(source);
        if (!s) return;
        from = s->fullName;
    }
    const std::string to = PortFullName(port);
    if (!to.empty() && !fDead.load()) jack_disconnect(fClient, from.c_str(), to.c_str());
}

}  // namespace plat
