#include "Platform/MIDI/alsa/AlsaMidiSystem.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

#include "Platform/MIDI/MidiPacketList.h"

namespace plat {

bool AlsaMidiSystem::Available() {
    return access("/dev/snd/seq", R_OK | W_OK) == 0;
}

std::unique_ptr<AlsaMidiSystem> AlsaMidiSystem::Open(const std::string& clientName) {
    if (!Available()) return nullptr;
    snd_seq_t* seq = nullptr;
    if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_DUPLEX, 0) < 0) return nullptr;
    std::unique_ptr<AlsaMidiSystem> system(new AlsaMidiSystem());
    system->fSeq = seq;
    snd_seq_set_client_name(seq, clientName.c_str());
    system->fClientNumber = snd_seq_client_id(seq);
    system->fAnnouncePort = snd_seq_create_simple_port(
        seq, "announce", SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_NO_EXPORT, SND_SEQ_PORT_TYPE_APPLICATION);
    if (system->fAnnouncePort < 0 || snd_seq_connect_from(seq, system->fAnnouncePort, SND_SEQ_CLIENT_SYSTEM,
                                                          SND_SEQ_PORT_SYSTEM_ANNOUNCE) < 0)
        return nullptr;
    system->fStopFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (system->fStopFd < 0) return nullptr;
    system->fThread = std::thread([s = system.get()] { s->Run(); });
    return system;
}

AlsaMidiSystem::~AlsaMidiSystem() {
    DisposeAll();
    fStop = true;
    if (fStopFd >= 0) {
        const uint64_t one = 1;
        (void)!write(fStopFd, &one, sizeof one);
    }
    if (fThread.joinable()) fThread.join();
    if (fStopFd >= 0) close(fStopFd);
    if (fSeq) snd_seq_close(fSeq);
}

MidiObjectId AlsaMidiSystem::PortIdOf(int alsaPort) {
    std::lock_guard<std::mutex> lock(fPortsMutex);
    for (const auto& [id, port] : fPorts)
        if (port == alsaPort) return id;
    return 0;
}

int AlsaMidiSystem::AlsaPortOf(MidiObjectId port) {
    std::lock_guard<std::mutex> lock(fPortsMutex);
    auto it = fPorts.find(port);
    return it == fPorts.end() ? -1 : it->second;
}

void AlsaMidiSystem::Run() {
    SetMidiThread();
    snd_midi_event_t* decoder = nullptr;
    if (snd_midi_event_new(kMaxEventBytes, &decoder) < 0) return;
    snd_midi_event_no_status(decoder, 1);  // every message with its status byte
    // Buffers made once, before the first event.
    std::vector<uint8_t> list(kMaxEventBytes * 2 + 64);
    std::vector<uint8_t> bytes(kMaxEventBytes);
    MidiPacketListWriter writer(list.data(), list.size());
    const int count = snd_seq_poll_descriptors_count(fSeq, POLLIN);
    std::vector<pollfd> fds(size_t(count > 0 ? count : 0) + 1);
    while (!fStop.load()) {
        fds[0] = pollfd{fStopFd, POLLIN, 0};
        snd_seq_poll_descriptors(fSeq, fds.data() + 1, unsigned(fds.size() - 1), POLLIN);
        if (poll(fds.data(), nfds_t(fds.size()), -1) < 0) continue;
        if (fStop.load()) break;
        MidiObjectId current = 0;
        writer.Clear();
        while (snd_seq_event_input_pending(fSeq, 1) > 0) {
            snd_seq_event_t* ev = nullptr;
            if (snd_seq_event_input(fSeq, &ev) < 0 || !ev) break;
            switch (ev->type) {
                case SND_SEQ_EVENT_CLIENT_START:
                case SND_SEQ_EVENT_CLIENT_EXIT:
                case SND_SEQ_EVENT_CLIENT_CHANGE:
                case SND_SEQ_EVENT_PORT_START:
                case SND_SEQ_EVENT_PORT_EXIT:
                case SND_SEQ_EVENT_PORT_CHANGE:
                    fDirty = true;
                    NotifySetupChanged();
                    continue;
                default:
                    break;
            }
            const MidiObjectId port = PortIdOf(ev->dest.port);
            if (!port) continue;
            snd_midi_event_reset_decode(decoder);
            const long n = snd_midi_event_decode(decoder, bytes.data(), long(bytes.size()), ev);
            if (n <= 0) continue;
            if (writer.Count() > 0 && (port != current || writer.Room() < size_t(n))) {
                DeliverToPort(current, writer.Data(), writer.ByteSize());
                writer.Clear();
            }
            current = port;
            (void)writer.Add(ev->time.tick, bytes.data(), uint16_t(n));
        }
        if (writer.Count() > 0) DeliverToPort(current, writer.Data(), writer.ByteSize());
    }
    snd_midi_event_free(decoder);
}

void AlsaMidiSystem::RefreshLocked() {
    if (!fDirty.exchange(false)) return;
    fSources.clear();
    fDevices.clear();
    snd_seq_client_info_t* client;
    snd_seq_port_info_t* port;
    snd_seq_client_info_alloca(&client);
    snd_seq_port_info_alloca(&port);
    snd_seq_client_info_set_client(client, -1);
    while (snd_seq_query_next_client(fSeq, client) >= 0) {
        const int c = snd_seq_client_info_get_client(client);
        if (c == fClientNumber || c == SND_SEQ_CLIENT_SYSTEM) continue;
        snd_seq_port_info_set_client(port, c);
        snd_seq_port_info_set_port(port, -1);
        while (snd_seq_query_next_port(fSeq, port) >= 0) {
            const unsigned caps = snd_seq_port_info_get_capability(port);
            const unsigned need = SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ;
            if ((caps & need) != need || (caps & SND_SEQ_PORT_CAP_NO_EXPORT)) continue;
            if (!(snd_seq_port_info_get_type(port) & SND_SEQ_PORT_TYPE_MIDI_GENERIC)) continue;
            const int p = snd_seq_port_info_get_port(port);
            MidiObjectId& deviceId = fDeviceIds[c];
            if (!deviceId) deviceId = NewId();
            MidiObjectId& entityId = fEntityIds[c];
            if (!entityId) entityId = NewId();
            if (!FindDeviceLocked(deviceId, false))
                fDevices.push_back(Device{deviceId, entityId, c, snd_seq_client_info_get_name(client)});
            MidiObjectId& sourceId = fSourceIds[c << 8 | p];
            if (!sourceId) sourceId = NewId();
            fSources.push_back(Source{sourceId, deviceId, c, p, snd_seq_port_info_get_name(port)});
        }
    }
}

bool AlsaMidiSystem::BackendCreatePort(MidiObjectId port, const std::string& name) {
    const int p = snd_seq_create_simple_port(fSeq, name.empty() ? "in" : name.c_str(),
                                             SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE,
                                             SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    if (p < 0) return false;
    std::lock_guard<std::mutex> lock(fPortsMutex);
    fPorts[port] = p;
    return true;
}

void AlsaMidiSystem::BackendDisposePort(MidiObjectId port) {
    int p = -1;
    {
        std::lock_guard<std::mutex> lock(fPortsMutex);
        auto it = fPorts.find(port);
        if (it == fPorts.end()) return;
        p = it->second;
        fPorts.erase(it);
    }
    snd_seq_delete_simple_port(fSeq, p);
}

bool AlsaMidiSystem::BackendConnect(MidiObjectId port, MidiObjectId source) {
    int client = -1;
    int sourcePort = -1;
    {
        std::lock_guard<std::mutex> lock(fSourcesMutex);
        RefreshLocked();
        const Source* s = FindSourceLocked(source);
        if (!s) return false;
        client = s->client;
        sourcePort = s->port;
    }
    const int p = AlsaPortOf(port);
    return p >= 0 && snd_seq_connect_from(fSeq, p, client, sourcePort) >= 0;
}

void AlsaMidiSystem::BackendDisconnect(MidiObjectId port, MidiObjectId source) {
    int client = -1;
    int sourcePort = -1;
    {
        std::lock_guard<std::mutex> lock(fSourcesMutex);
        const Source* s = FindSourceLocked(source);
        if (!s) return;
        client = s->client;
        sourcePort = s->port;
    }
    const int p = AlsaPortOf(port);
    if (p >= 0) snd_seq_disconnect_from(fSeq, p, client, sourcePort);
}

}  // namespace plat
