#pragma once

#include <pulse/pulseaudio.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Platform/Audio/AudioSystem.h"
#include "Platform/Foundation/Object.h"

// One libpulse context on its threaded main loop, shared (plat::Ref) by the system and its units so
// that a unit may outlive the system. Blocking calls answer as failures on the main-loop thread.
namespace plat {

struct PulsePort {
    std::string name;
    std::string description;
};

// One sink or source as the server last described it.
struct PulseDeviceInfo {
    uint32_t index = PA_INVALID_INDEX;
    std::string name;
    std::string description;
    uint32_t rate = 0;
    pa_cvolume volume{};
    uint32_t monitor = PA_INVALID_INDEX;  // sink: its monitor source; source: the sink it monitors
    std::vector<PulsePort> ports;
};

// Device ids: a sink is 2 × index + 1, a source 2 × index + 2 (indexes are not reused by a server).
inline AudioDeviceID SinkDeviceId(uint32_t index) {
    return 2 * index + 1;
}
inline AudioDeviceID SourceDeviceId(uint32_t index) {
    return 2 * index + 2;
}
inline bool IsSinkDeviceId(AudioDeviceID id) {
    return id % 2 == 1;
}
inline uint32_t DeviceIdIndex(AudioDeviceID id) {
    return (id - 1) / 2;
}

struct PulseSnapshot {
    std::vector<PulseDeviceInfo> sinks;
    std::vector<PulseDeviceInfo> sources;  // monitors included
    std::string defaultSink;
    std::string defaultSource;

    const PulseDeviceInfo* Sink(uint32_t index) const;
    const PulseDeviceInfo* Source(uint32_t index) const;
    // The sink or non-monitor source behind a device id; null when it is gone.
    const PulseDeviceInfo* Device(AudioDeviceID id) const;
    // The source of the device's input side (a sink's monitor), or its sink; null when absent.
    const PulseDeviceInfo* InputSide(AudioDeviceID id) const;
    const PulseDeviceInfo* OutputSide(AudioDeviceID id) const;
    const PulseDeviceInfo* Side(AudioDeviceID id, AudioScope scope) const {
        return scope == AudioScope::kInput ? InputSide(id) : OutputSide(id);
    }
};

class PulseConnection : public Object {
public:
    // Null when no server answers.
    static Ref<PulseConnection> Connect(const char* clientName);

    pa_threaded_mainloop* Loop() const { return fLoop; }
    pa_context* Context() const { return fContext; }
    bool InLoopThread() const { return pa_threaded_mainloop_in_thread(fLoop) != 0; }
    // Alive, and not called from the main-loop thread.
    bool CanWait() const;

    // Sinks, sources and defaults; false when the server does not answer.
    [[nodiscard]] bool Snapshot(PulseSnapshot& out);
    // What an operation started by Run reports through SuccessCallback.
    struct Result {
        pa_threaded_mainloop* loop;
        int success;
    };
    // Runs an operation that start(Result*) begins under the lock, passing SuccessCallback and the
    // result, and waits for it; false on failure.
    template <class Start>
    [[nodiscard]] bool Run(Start start) {
        if (!CanWait()) return false;
        pa_threaded_mainloop_lock(fLoop);
        Result result{fLoop, 0};
        bool ok = Wait(start(&result)) && result.success;
        pa_threaded_mainloop_unlock(fLoop);
        return ok;
    }
    // Loop locked: waits for an operation to end and drops it; false when it could not start.
    bool Wait(pa_operation* op);
    // The callback of the operations Run starts; `userdata` is the Result given to start.
    static void SuccessCallback(pa_context* context, int success, void* userdata);
    static void StreamSuccessCallback(pa_stream* stream, int success, void* userdata);

    // Loop locked: a new stream whose state changes wake the loop's waiters; null on failure.
    pa_stream* NewStream(const char* name, const pa_sample_spec& spec);
    // Loop locked: waits until a connecting stream is ready (true) or has failed (false).
    bool WaitStreamReady(pa_stream* stream);
    // Loop locked: clears the stream's callbacks, disconnects and drops it, and nulls the pointer.
    static void CloseStream(pa_stream*& stream);

    // The subscription's change note: called on the main-loop thread (lock held) for sink,
    // source and server changes.
    void SetChangeCallback(void (*callback)(void* context), void* context);

private:
    PulseConnection() = default;
    ~PulseConnection() override;
    static void StateCallback(pa_context* context, void* self);
    static void SubscribeCallback(pa_context* context, pa_subscription_event_type_t type, uint32_t index,
                                  void* self);

    pa_threaded_mainloop* fLoop = nullptr;
    pa_context* fContext = nullptr;
    void (*fChange)(void*) = nullptr;
    void* fChangeContext = nullptr;
};

// The sample format of an AudioFormat (unsigned 8, signed 16/24/32 bits in either byte order);
// false for others.
[[nodiscard]] bool PulseSampleSpec(const AudioFormat& format, pa_sample_spec& spec);

}  // namespace plat
