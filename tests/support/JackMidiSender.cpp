#include "tests/support/JackMidiSender.h"

#include <jack/midiport.h>

#include <chrono>
#include <thread>

namespace testsupport {

JackMidiSender::JackMidiSender(const std::string& clientName) {
    jack_status_t status{};
    fClient = jack_client_open(clientName.c_str(), JackNoStartServer, &status);
    if (!fClient) return;
    fRing = jack_ringbuffer_create(1 << 20);
    jack_set_process_callback(fClient, Process, this);
    jack_set_xrun_callback(fClient, Xrun, this);
    if (jack_activate(fClient) != 0) {
        jack_client_close(fClient);
        fClient = nullptr;
    }
}

JackMidiSender::~JackMidiSender() {
    if (fClient) {
        jack_deactivate(fClient);
        jack_client_close(fClient);
    }
    if (fRing) jack_ringbuffer_free(fRing);
}

std::string JackMidiSender::ClientName() const {
    return fClient ? jack_get_client_name(fClient) : "";
}

int JackMidiSender::AddPort(const std::string& name) {
    if (!fClient) return -1;
    for (int i = 0; i < kMaxPorts; ++i) {
        if (fPorts[i].load()) continue;
        jack_port_t* p =
            jack_port_register(fClient, name.c_str(), JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        if (!p) return -1;
        fPorts[i].store(p);
        return i;
    }
    return -1;
}

void JackMidiSender::RemovePort(int port) {
    if (port < 0 || port >= kMaxPorts) return;
    jack_port_t* p = fPorts[port].exchange(nullptr);
    const uint32_t start = fCycles.load();
    while (fCycles.load() - start < 2) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (p) jack_port_unregister(fClient, p);
}

bool JackMidiSender::Send(int port, const std::vector<std::vector<uint8_t>>& messages) {
    size_t need = 0;
    for (const auto& m : messages) need += 3 + m.size();
    if (!fRing || jack_ringbuffer_write_space(fRing) < need) return false;
    for (const auto& m : messages) {
        const uint8_t header[3] = {uint8_t(port), uint8_t(m.size() & 0xFF), uint8_t(m.size() >> 8)};
        jack_ringbuffer_write(fRing, reinterpret_cast<const char*>(header), 3);
        jack_ringbuffer_write(fRing, reinterpret_cast<const char*>(m.data()), m.size());
    }
    return true;
}

void JackMidiSender::Drain() {
    while (fRing && jack_ringbuffer_read_space(fRing) > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const uint32_t start = fCycles.load();
    while (fCycles.load() - start < 2) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

int JackMidiSender::Process(jack_nframes_t frames, void* arg) {
    auto* self = static_cast<JackMidiSender*>(arg);
    void* buffers[kMaxPorts] = {};
    for (int i = 0; i < kMaxPorts; ++i) {
        if (jack_port_t* p = self->fPorts[i].load()) {
            buffers[i] = jack_port_get_buffer(p, frames);
            jack_midi_clear_buffer(buffers[i]);
        }
    }
    jack_nframes_t time = 0;
    uint8_t data[4096];
    while (jack_ringbuffer_read_space(self->fRing) >= 3 && time < frames) {
        uint8_t header[3];
        jack_ringbuffer_peek(self->fRing, reinterpret_cast<char*>(header), 3);
        const size_t size = header[1] | size_t(header[2]) << 8;
        if (jack_ringbuffer_read_space(self->fRing) < 3 + size || size > sizeof data) break;
        jack_ringbuffer_read_advance(self->fRing, 3);
        jack_ringbuffer_read(self->fRing, reinterpret_cast<char*>(data), size);
        if (header[0] < kMaxPorts && buffers[header[0]])
            jack_midi_event_write(buffers[header[0]], time, data, size);
        ++time;
    }
    self->fCycles.fetch_add(1);
    return 0;
}

int JackMidiSender::Xrun(void* arg) {
    static_cast<JackMidiSender*>(arg)->fXruns.fetch_add(1);
    return 0;
}

}  // namespace testsupport
