#include "Platform/Audio/pulse/PulseOutputUnit.h"

#include <algorithm>
#include <cstring>

#include "Platform/Audio/pulse/PulseConnection.h"

namespace plat {

namespace {
constexpr pa_usec_t kTargetUs = 40000;
constexpr pa_usec_t kRequestUs = 10000;
}  // namespace

PulseOutputUnit::PulseOutputUnit(Ref<PulseConnection> connection) : fConnection(std::move(connection)) {}

PulseOutputUnit::~PulseOutputUnit() {
    Uninitialize();
}

bool PulseOutputUnit::SetDevice(AudioDeviceID device) {
    if (fStream) return false;
    if (device == 0) {
        fDevice = 0;
        fSink.clear();
        return true;
    }
    PulseSnapshot s;
    if (!fConnection->Snapshot(s)) return false;
    const PulseDeviceInfo* sink = s.OutputSide(device);
    if (!sink) return false;
    fDevice = device;
    fSink = sink->name;
    return true;
}

bool PulseOutputUnit::GetDeviceFormat(AudioFormat& format) const {
    PulseSnapshot s;
    if (!fConnection->Snapshot(s)) return false;
    const PulseDeviceInfo* sink = nullptr;
    if (fSink.empty()) {
        for (const PulseDeviceInfo& d : s.sinks)
            if (d.name == s.defaultSink) sink = &d;
    } else {
        sink = s.OutputSide(fDevice);
    }
    if (!sink || sink->rate == 0) return false;
    format =
        AudioFormat{double(sink->rate), sink->volume.channels ? sink->volume.channels : 2u, 16, true, false};
    return true;
}

bool PulseOutputUnit::SetInputFormat(const AudioFormat& format) {
    pa_sample_spec spec;
    if (fStream || !PulseSampleSpec(format, spec)) return false;
    fSpec = spec;
    fFormat = format;
    fHasFormat = true;
    return true;
}

void PulseOutputUnit::SetRenderCallback(void* context, RenderCallback callback) {
    pa_threaded_mainloop_lock(fConnection->Loop());
    fContext = context;
    fCallback = callback;
    pa_threaded_mainloop_unlock(fConnection->Loop());
}

bool PulseOutputUnit::GetMaximumFramesPerSlice(uint32_t& frames) const {
    frames = kMaxFramesPerSlice;
    return true;
}

bool PulseOutputUnit::Initialize() {
    if (fStream) return true;
    if (!fHasFormat || !fConnection->CanWait()) return false;
    pa_threaded_mainloop* loop = fConnection->Loop();
    pa_threaded_mainloop_lock(loop);
    fStream = fConnection->NewStream("Orbilume sound output", fSpec);
    bool ready = false;
    if (fStream) {
        pa_stream_set_write_callback(fStream, WriteCallback, this);
        pa_buffer_attr attr;
        attr.maxlength = uint32_t(-1);
        attr.tlength = uint32_t(pa_usec_to_bytes(kTargetUs, &fSpec));
        attr.minreq = uint32_t(pa_usec_to_bytes(kRequestUs, &fSpec));
        attr.prebuf = uint32_t(-1);
        attr.fragsize = uint32_t(-1);
        auto flags = pa_stream_flags_t(PA_STREAM_START_CORKED | PA_STREAM_ADJUST_LATENCY |
                                       (fSink.empty() ? 0 : PA_STREAM_DONT_MOVE));
        ready = pa_stream_connect_playback(fStream, fSink.empty() ? nullptr : fSink.c_str(), &attr, flags,
                                           nullptr, nullptr) == 0 &&
                fConnection->WaitStreamReady(fStream);
    }
    pa_threaded_mainloop_unlock(loop);
    if (!ready) Uninitialize();
    return ready;
}

void PulseOutputUnit::Uninitialize() {
    if (!fStream) return;
    pa_threaded_mainloop_lock(fConnection->Loop());
    fRunning = false;
    PulseConnection::CloseStream(fStream);
    pa_threaded_mainloop_unlock(fConnection->Loop());
}

bool PulseOutputUnit::Cork(bool cork) {
    pa_stream* stream = fStream;
    return fConnection->Run([&](PulseConnection::Result* r) {
        if (pa_stream_get_state(stream) != PA_STREAM_READY) return static_cast<pa_operation*>(nullptr);
        fRunning = !cork;
        if (!cork) {
            // Fill the buffer now rather than on the next request.
            size_t writable = pa_stream_writable_size(stream);
            if (writable != size_t(-1) && writable > 0) Write(writable);
        }
        return pa_stream_cork(stream, cork ? 1 : 0, PulseConnection::StreamSuccessCallback, r);
    });
}

bool PulseOutputUnit::Start() {
    return fStream && Cork(false);
}

void PulseOutputUnit::Stop() {
    if (!fStream) return;
    if (!Cork(true)) {
        pa_threaded_mainloop_lock(fConnection->Loop());
        fRunning = false;
        pa_threaded_mainloop_unlock(fConnection->Loop());
    }
}

void PulseOutputUnit::WriteCallback(pa_stream*, size_t bytes, void* self) {
    static_cast<PulseOutputUnit*>(self)->Write(bytes);
}

void PulseOutputUnit::Write(size_t bytes) {
    const uint32_t frameBytes = fFormat.BytesPerFrame();
    if (frameBytes == 0) return;
    size_t frames = bytes / frameBytes;
    while (frames > 0) {
        auto n = uint32_t(std::min<size_t>(frames, kMaxFramesPerSlice));
        size_t size = size_t(n) * frameBytes;
        void* buffer = nullptr;
        if (pa_stream_begin_write(fStream, &buffer, &size) < 0 || !buffer) return;
        size = std::min(size, size_t(n) * frameBytes) / frameBytes * frameBytes;
        if (size == 0) {
            pa_stream_cancel_write(fStream);
            return;
        }
        n = uint32_t(size / frameBytes);
        AudioBuffer out{buffer, uint32_t(size)};
        size_t filled = 0;
        if (fRunning && fCallback && fCallback(fContext, out, n) == 0 && out.data && out.bytes > 0) {
            filled = std::min<size_t>(out.bytes, size) / frameBytes * frameBytes;
            if (out.data != buffer) std::memmove(buffer, out.data, filled);
        }
        if (filled < size)
            std::memset(static_cast<uint8_t*>(buffer) + filled, fSpec.format == PA_SAMPLE_U8 ? 0x80 : 0,
                        size - filled);
        if (pa_stream_write(fStream, buffer, size, nullptr, 0, PA_SEEK_RELATIVE) < 0) return;
        frames -= n;
    }
}

}  // namespace plat
