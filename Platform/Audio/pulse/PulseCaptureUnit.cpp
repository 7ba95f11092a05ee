#include "Platform/Audio/pulse/PulseCaptureUnit.h"

#include <algorithm>
#include <cstring>

#include "Platform/Audio/pulse/PulseConnection.h"

namespace plat {

namespace {
constexpr pa_usec_t kFragmentUs = 10000;
constexpr int kErrBadParam = -50;
}  // namespace

PulseCaptureUnit::PulseCaptureUnit(Ref<PulseConnection> connection) : fConnection(std::move(connection)) {}

PulseCaptureUnit::~PulseCaptureUnit() {
    Uninitialize();
}

bool PulseCaptureUnit::SetDevice(AudioDeviceID device) {
    PulseSnapshot s;
    if (!fConnection->Snapshot(s)) return false;
    const PulseDeviceInfo* input = s.InputSide(device);
    if (!input) return false;
    fSource = input->name;
    return true;
}

bool PulseCaptureUnit::SetClientFormat(const AudioFormat& format) {
    pa_sample_spec spec;
    if (fStream || !PulseSampleSpec(format, spec)) return false;
    fSpec = spec;
    fFormat = format;
    fFormat.rate = spec.rate;
    fHasFormat = true;
    return true;
}

bool PulseCaptureUnit::GetClientFormat(AudioFormat& format) const {
    if (!fHasFormat) return false;
    format = fFormat;
    return true;
}

void PulseCaptureUnit::SetInputCallback(void* context, InputCallback callback) {
    pa_threaded_mainloop_lock(fConnection->Loop());
    fContext = context;
    fCallback = callback;
    pa_threaded_mainloop_unlock(fConnection->Loop());
}

bool PulseCaptureUnit::Initialize() {
    if (fStream) return true;
    if (!fHasFormat || fSource.empty() || !fConnection->CanWait()) return false;
    pa_threaded_mainloop* loop = fConnection->Loop();
    pa_threaded_mainloop_lock(loop);
    fStream = fConnection->NewStream("Orbilume sound input", fSpec);
    bool ready = false;
    if (fStream) {
        pa_stream_set_read_callback(fStream, ReadCallback, this);
        pa_buffer_attr attr;
        attr.maxlength = uint32_t(-1);
        attr.tlength = attr.prebuf = attr.minreq = uint32_t(-1);
        attr.fragsize = uint32_t(pa_usec_to_bytes(kFragmentUs, &fSpec));
        auto flags =
            pa_stream_flags_t(PA_STREAM_START_CORKED | PA_STREAM_ADJUST_LATENCY | PA_STREAM_DONT_MOVE);
        ready = pa_stream_connect_record(fStream, fSource.c_str(), &attr, flags) == 0 &&
                fConnection->WaitStreamReady(fStream);
    }
    pa_threaded_mainloop_unlock(loop);
    if (!ready) Uninitialize();
    return ready;
}

void PulseCaptureUnit::Uninitialize() {
    if (!fStream) return;
    pa_threaded_mainloop_lock(fConnection->Loop());
    fRunning = false;
    PulseConnection::CloseStream(fStream);
    fCarryBytes = 0;
    pa_threaded_mainloop_unlock(fConnection->Loop());
}

bool PulseCaptureUnit::Cork(bool cork) {
    pa_stream* stream = fStream;
    return fConnection->Run([&](PulseConnection::Result* r) {
        if (pa_stream_get_state(stream) != PA_STREAM_READY) return static_cast<pa_operation*>(nullptr);
        fRunning = !cork;
        return pa_stream_cork(stream, cork ? 1 : 0, PulseConnection::StreamSuccessCallback, r);
    });
}

bool PulseCaptureUnit::Start() {
    return fStream && Cork(false);
}

void PulseCaptureUnit::Stop() {
    if (!fStream) return;
    if (!Cork(true)) {
        pa_threaded_mainloop_lock(fConnection->Loop());
        fRunning = false;
        pa_threaded_mainloop_unlock(fConnection->Loop());
    }
}

void PulseCaptureUnit::ReadCallback(pa_stream* stream, size_t, void* self) {
    auto* u = static_cast<PulseCaptureUnit*>(self);
    while (pa_stream_readable_size(stream) > 0) {
        const void* data = nullptr;
        size_t bytes = 0;
        if (pa_stream_peek(stream, &data, &bytes) < 0 || bytes == 0) return;
        // A hole (data null) carries no audio.
        if (data && u->fRunning) u->Deliver(static_cast<const uint8_t*>(data), bytes);
        pa_stream_drop(stream);
    }
}

// Whole frames only: a frame split between two reads waits in the carry.
void PulseCaptureUnit::Deliver(const uint8_t* data, size_t bytes) {
    const uint32_t frameBytes = fFormat.BytesPerFrame();
    if (frameBytes == 0 || frameBytes > sizeof fCarry) return;
    if (fCarryBytes) {
        size_t take = std::min<size_t>(frameBytes - fCarryBytes, bytes);
        std::memcpy(fCarry + fCarryBytes, data, take);
        fCarryBytes += uint32_t(take);
        data += take;
        bytes -= take;
        if (fCarryBytes < frameBytes) return;
        fCarryBytes = 0;
        Callback(fCarry, 1);
    }
    size_t frames = bytes / frameBytes;
    while (frames > 0) {
        auto n = uint32_t(std::min<size_t>(frames, UINT32_MAX / frameBytes));
        Callback(data, n);
        data += size_t(n) * frameBytes;
        bytes -= size_t(n) * frameBytes;
        frames -= n;
    }
    std::memcpy(fCarry, data, bytes);
    fCarryBytes = uint32_t(bytes);
}

void PulseCaptureUnit::Callback(const uint8_t* data, uint32_t frames) {
    if (!fCallback) return;
    fData = data;
    fFrames = frames;
    fCallback(fContext, frames);
    fData = nullptr;
    fFrames = 0;
}

int PulseCaptureUnit::Render(void* out, uint32_t frames) {
    if (!fData || frames > fFrames) return kErrBadParam;
    size_t n = size_t(frames) * fFormat.BytesPerFrame();
    std::memcpy(out, fData, n);
    fData += n;
    fFrames -= frames;
    return 0;
}

}  // namespace plat
