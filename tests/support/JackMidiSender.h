#pragma once

#include <jack/jack.h>
#include <jack/ringbuffer.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

// A JACK client with MIDI output ports that sends what the test queues: every message queued
// before a period goes out in that period, one JACK event per message, in order.
class JackMidiSender {
public:
    explicit JackMidiSender(const std::string& clientName);
    ~JackMidiSender();
    JackMidiSender(const JackMidiSender&) = delete;
    JackMidiSender& operator=(const JackMidiSender&) = delete;

    bool Ok() const { return fClient != nullptr; }
    std::string ClientName() const;
    // The index of a new output port; -1 on failure.
    int AddPort(const std::string& name);
    void RemovePort(int port);
    // Queues messages for the next period; false when the queue is full.
    bool Send(int port, const std::vector<std::vector<uint8_t>>& messages);
    // Waits until the queue is empty and one more period ran.
    void Drain();
    // Periods the server reported as overrun (its events of those periods may be lost).
    uint32_t Xruns() const { return fXruns.load(); }

private:
    static int Process(jack_nframes_t frames, void* arg);
    static int Xrun(void* arg);

    jack_client_t* fClient = nullptr;
    jack_ringbuffer_t* fRing = nullptr;
    static constexpr int kMaxPorts = 8;
    std::atomic<jack_port_t*> fPorts[kMaxPorts] = {};
    std::atomic<uint32_t> fCycles{0};
    std::atomic<uint32_t> fXruns{0};
};

}  // namespace testsupport
