#include "Platform/Audio/pulse/PulseConnection.h"

#include <algorithm>

namespace plat {

namespace {

PulseDeviceInfo Describe(uint32_t index, const char* name, const char* description,
                         const pa_sample_spec& spec, const pa_cvolume& volume, uint32_t monitor) {
    PulseDeviceInfo d;
    d.index = index;
    d.name = name ? name : "";
    d.description = description ? description : d.name;
    d.rate = spec.rate;
    d.volume = volume;
    d.monitor = monitor;
    return d;
}

template <class PortInfo>
void AddPorts(PulseDeviceInfo& d, PortInfo** ports, uint32_t count) {
    for (uint32_t i = 0; ports && i < count; ++i) {
        if (!ports[i]) continue;
        const char* desc = ports[i]->description ? ports[i]->description : ports[i]->name;
        d.ports.push_back({ports[i]->name ? ports[i]->name : "", desc ? desc : ""});
    }
}

struct SnapshotQuery {
    PulseSnapshot* out;
    pa_threaded_mainloop* loop;
};

void SinkInfo(pa_context*, const pa_sink_info* info, int eol, void* userdata) {
    auto* q = static_cast<SnapshotQuery*>(userdata);
    if (eol || !info) {
        pa_threaded_mainloop_signal(q->loop, 0);
        return;
    }
    PulseDeviceInfo d = Describe(info->index, info->name, info->description, info->sample_spec, info->volume,
                                 info->monitor_source);
    AddPorts(d, info->ports, info->n_ports);
    q->out->sinks.push_back(std::move(d));
}

void SourceInfo(pa_context*, const pa_source_info* info, int eol, void* userdata) {
    auto* q = static_cast<SnapshotQuery*>(userdata);
    if (eol || !info) {
        pa_threaded_mainloop_signal(q->loop, 0);
        return;
    }
    PulseDeviceInfo d = Describe(info->index, info->name, info->description, info->sample_spec, info->volume,
                                 info->monitor_of_sink);
    AddPorts(d, info->ports, info->n_ports);
    q->out->sources.push_back(std::move(d));
}

void ServerInfo(pa_context*, const pa_server_info* info, void* userdata) {
    auto* q = static_cast<SnapshotQuery*>(userdata);
    if (info) {
        q->out->defaultSink = info->default_sink_name ? info->default_sink_name : "";
        q->out->defaultSource = info->default_source_name ? info->default_source_name : "";
    }
    pa_threaded_mainloop_signal(q->loop, 0);
}

const PulseDeviceInfo* FindIndex(const std::vector<PulseDeviceInfo>& list, uint32_t index) {
    for (const PulseDeviceInfo& d : list)
        if (d.index == index) return &d;
    return nullptr;
}

}  // namespace

const PulseDeviceInfo* PulseSnapshot::Sink(uint32_t index) const {
    return FindIndex(sinks, index);
}
const PulseDeviceInfo* PulseSnapshot::Source(uint32_t index) const {
    return FindIndex(sources, index);
}

const PulseDeviceInfo* PulseSnapshot::Device(AudioDeviceID id) const {
    if (id == 0) return nullptr;
    if (IsSinkDeviceId(id)) return Sink(DeviceIdIndex(id));
    const PulseDeviceInfo* source = Source(DeviceIdIndex(id));
    return source && source->monitor == PA_INVALID_INDEX ? source : nullptr;
}

const PulseDeviceInfo* PulseSnapshot::InputSide(AudioDeviceID id) const {
    const PulseDeviceInfo* d = Device(id);
    if (!d) return nullptr;
    return IsSinkDeviceId(id) ? Source(d->monitor) : d;
}

const PulseDeviceInfo* PulseSnapshot::OutputSide(AudioDeviceID id) const {
    return IsSinkDeviceId(id) ? Device(id) : nullptr;
}

Ref<PulseConnection> PulseConnection::Connect(const char* clientName) {
    Ref<PulseConnection> c = Adopt(new PulseConnection());
    c->fLoop = pa_threaded_mainloop_new();
    if (!c->fLoop) return nullptr;
    c->fContext = pa_context_new(pa_threaded_mainloop_get_api(c->fLoop), clientName);
    if (!c->fContext) return nullptr;
    pa_context_set_state_callback(c->fContext, StateCallback, c.get());
    pa_context_set_subscribe_callback(c->fContext, SubscribeCallback, c.get());
    if (pa_context_connect(c->fContext, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) return nullptr;
    if (pa_threaded_mainloop_start(c->fLoop) < 0) return nullptr;
    pa_threaded_mainloop_lock(c->fLoop);
    pa_context_state_t state;
    while ((state = pa_context_get_state(c->fContext)) != PA_CONTEXT_READY && PA_CONTEXT_IS_GOOD(state))
        pa_threaded_mainloop_wait(c->fLoop);
    bool ready = state == PA_CONTEXT_READY;
    if (ready) {
        auto mask = pa_subscription_mask_t(PA_SUBSCRIPTION_MASK_SINK | PA_SUBSCRIPTION_MASK_SOURCE |
                                           PA_SUBSCRIPTION_MASK_SERVER);
        if (pa_operation* op = pa_context_subscribe(c->fContext, mask, nullptr, nullptr))
            pa_operation_unref(op);
    }
    pa_threaded_mainloop_unlock(c->fLoop);
    if (!ready) return nullptr;
    return c;
}

PulseConnection::~PulseConnection() {
    if (fLoop) pa_threaded_mainloop_stop(fLoop);
    if (fContext) {
        pa_context_set_state_callback(fContext, nullptr, nullptr);
        pa_context_set_subscribe_callback(fContext, nullptr, nullptr);
        pa_context_disconnect(fContext);
        pa_context_unref(fContext);
    }
    if (fLoop) pa_threaded_mainloop_free(fLoop);
}

void PulseConnection::StateCallback(pa_context*, void* self) {
    pa_threaded_mainloop_signal(static_cast<PulseConnection*>(self)->fLoop, 0);
}

void PulseConnection::SubscribeCallback(pa_context*, pa_subscription_event_type_t, uint32_t, void* self) {
    auto* c = static_cast<PulseConnection*>(self);
    if (c->fChange) c->fChange(c->fChangeContext);
}

void PulseConnection::SetChangeCallback(void (*callback)(void*), void* context) {
    pa_threaded_mainloop_lock(fLoop);
    fChange = callback;
    fChangeContext = context;
    pa_threaded_mainloop_unlock(fLoop);
}

bool PulseConnection::CanWait() const {
    return !InLoopThread() && pa_context_get_state(fContext) == PA_CONTEXT_READY;
}

bool PulseConnection::Wait(pa_operation* op) {
    if (!op) return false;
    while (pa_operation_get_state(op) == PA_OPERATION_RUNNING) pa_threaded_mainloop_wait(fLoop);
    bool done = pa_operation_get_state(op) == PA_OPERATION_DONE;
    pa_operation_unref(op);
    return done;
}

void PulseConnection::SuccessCallback(pa_context*, int success, void* userdata) {
    auto* result = static_cast<Result*>(userdata);
    result->success = success;
    pa_threaded_mainloop_signal(result->loop, 0);
}

void PulseConnection::StreamSuccessCallback(pa_stream*, int success, void* userdata) {
    SuccessCallback(nullptr, success, userdata);
}

pa_stream* PulseConnection::NewStream(const char* name, const pa_sample_spec& spec) {
    pa_channel_map map;
    pa_channel_map_init_extend(&map, spec.channels, PA_CHANNEL_MAP_DEFAULT);
    pa_stream* stream = pa_stream_new(fContext, name, &spec, &map);
    if (stream)
        pa_stream_set_state_callback(
            stream,
            [](pa_stream*, void* loop) {
                pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(loop), 0);
            },
            fLoop);
    return stream;
}

bool PulseConnection::WaitStreamReady(pa_stream* stream) {
    pa_stream_state_t state;
    while ((state = pa_stream_get_state(stream)) != PA_STREAM_READY && PA_STREAM_IS_GOOD(state))
        pa_threaded_mainloop_wait(fLoop);
    return state == PA_STREAM_READY;
}

void PulseConnection::CloseStream(pa_stream*& stream) {
    if (!stream) return;
    pa_stream_set_state_callback(stream, nullptr, nullptr);
    pa_stream_set_read_callback(stream, nullptr, nullptr);
    pa_stream_set_write_callback(stream, nullptr, nullptr);
    pa_stream_disconnect(stream);
    pa_stream_unref(stream);
    stream = nullptr;
}

bool PulseConnection::Snapshot(PulseSnapshot& out) {
    out = PulseSnapshot();
    if (!CanWait()) return false;
    SnapshotQuery q{&out, fLoop};
    pa_threaded_mainloop_lock(fLoop);
    bool ok = Wait(pa_context_get_sink_info_list(fContext, SinkInfo, &q)) &&
              Wait(pa_context_get_source_info_list(fContext, SourceInfo, &q)) &&
              Wait(pa_context_get_server_info(fContext, ServerInfo, &q));
    pa_threaded_mainloop_unlock(fLoop);
    auto byIndex = [](const PulseDeviceInfo& a, const PulseDeviceInfo& b) { return a.index < b.index; };
    std::sort(out.sinks.begin(), out.sinks.end(), byIndex);
    std::sort(out.sources.begin(), out.sources.end(), byIndex);
    return ok;
}

bool PulseSampleSpec(const AudioFormat& format, pa_sample_spec& spec) {
    if (format.channels < 1 || format.channels > PA_CHANNELS_MAX) return false;
    if (!(format.rate >= 1 && format.rate <= PA_RATE_MAX)) return false;
    switch (format.bits) {
        case 8:
            if (format.isSigned) return false;
            spec.format = PA_SAMPLE_U8;
            break;
        case 16:
            if (!format.isSigned) return false;
            spec.format = format.bigEndian ? PA_SAMPLE_S16BE : PA_SAMPLE_S16LE;
            break;
        case 24:
            if (!format.isSigned) return false;
            spec.format = format.bigEndian ? PA_SAMPLE_S24BE : PA_SAMPLE_S24LE;
            break;
        case 32:
            if (!format.isSigned) return false;
            spec.format = format.bigEndian ? PA_SAMPLE_S32BE : PA_SAMPLE_S32LE;
            break;
        default:
            return false;
    }
    spec.rate = uint32_t(format.rate);
    spec.channels = uint8_t(format.channels);
    return pa_sample_spec_valid(&spec) != 0;
}

}  // namespace plat
