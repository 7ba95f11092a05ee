#include "Platform/Audio/pulse/PulseAudioSystem.h"

#include <algorithm>
#include <cmath>

#include "Platform/Audio/pulse/PulseCaptureUnit.h"
#include "Platform/Audio/pulse/PulseConnection.h"
#include "Platform/Audio/pulse/PulseOutputUnit.h"

namespace plat {

std::unique_ptr<PulseAudioSystem> PulseAudioSystem::Connect(const char* clientName) {
    Ref<PulseConnection> c = PulseConnection::Connect(clientName);
    if (!c) return nullptr;
    return std::unique_ptr<PulseAudioSystem>(new PulseAudioSystem(std::move(c)));
}

PulseAudioSystem::PulseAudioSystem(Ref<PulseConnection> connection) : fConnection(std::move(connection)) {
    fNotifier = std::thread([this] { NotifyMain(); });
    fConnection->SetChangeCallback(Changed, this);
}

PulseAudioSystem::~PulseAudioSystem() {
    fConnection->SetChangeCallback(nullptr, nullptr);
    {
        std::lock_guard<std::mutex> lock(fMutex);
        fStop = true;
    }
    fWake.notify_all();
    fNotifier.join();
}

// Main-loop thread: only hands the note to the notifier, which may ask the server.
void PulseAudioSystem::Changed(void* self) {
    auto* s = static_cast<PulseAudioSystem*>(self);
    {
        std::lock_guard<std::mutex> lock(s->fMutex);
        s->fChanged = true;
    }
    s->fWake.notify_all();
}

void PulseAudioSystem::NotifyMain() {
    std::unique_lock<std::mutex> lock(fMutex);
    for (;;) {
        fWake.wait(lock, [this] { return fStop || fChanged; });
        if (fStop) return;
        fChanged = false;
        if (fListeners.empty()) continue;
        lock.unlock();
        PulseSnapshot s;
        bool ok = fConnection->Snapshot(s);
        lock.lock();
        if (!ok) continue;
        std::vector<Listener> due;
        for (const Listener& l : fListeners) {
            const PulseDeviceInfo* d = s.Device(l.device);
            if (!d) continue;
            double& last = fRates[l.device];
            if (last != 0 && last != d->rate) due.push_back(l);
        }
        for (const Listener& l : fListeners)
            if (const PulseDeviceInfo* d = s.Device(l.device)) fRates[l.device] = d->rate;
        lock.unlock();
        {
            std::lock_guard<std::recursive_mutex> calling(fCalling);
            for (const Listener& l : due) {
                bool still;
                {
                    std::lock_guard<std::mutex> check(fMutex);
                    still = std::any_of(fListeners.begin(), fListeners.end(), [&](const Listener& x) {
                        return x.device == l.device && x.listener == l.listener && x.context == l.context;
                    });
                }
                if (still) l.listener(l.context, l.device);
            }
        }
        lock.lock();
    }
}

std::vector<AudioDeviceID> PulseAudioSystem::Devices() {
    std::vector<AudioDeviceID> ids;
    PulseSnapshot s;
    if (!fConnection->Snapshot(s)) return ids;
    for (const PulseDeviceInfo& d : s.sinks) ids.push_back(SinkDeviceId(d.index));
    for (const PulseDeviceInfo& d : s.sources)
        if (d.monitor == PA_INVALID_INDEX) ids.push_back(SourceDeviceId(d.index));
    return ids;
}

bool PulseAudioSystem::GetDeviceName(AudioDeviceID device, std::string& name) {
    PulseSnapshot s;
    if (!fConnection->Snapshot(s)) return false;
    const PulseDeviceInfo* d = s.Device(device);
    if (!d) return false;
    name = d->description;
    return true;
}

uint32_t PulseAudioSystem::StreamCount(AudioDeviceID device, AudioScope scope) {
    PulseSnapshot s;
    if (!fConnection->Snapshot(s)) return 0;
    return s.Side(device, scope) ? 1 : 0;
}

std::vector<AudioDataSource> PulseAudioSystem::DataSources(AudioDeviceID device, AudioScope scope) {
    std::vector<AudioDataSource> out;
    PulseSnapshot s;
    if (!fConnection->Snapshot(s)) return out;
    const PulseDeviceInfo* d = s.Side(device, scope);
    if (!d) return out;
    for (uint32_t i = 0; i < d->ports.size(); ++i) out.push_back({i, d->ports[i].description});
    return out;
}

bool PulseAudioSystem::SetDataSource(AudioDeviceID device, AudioScope scope, uint32_t source) {
    PulseSnapshot s;
    if (!fConnection->Snapshot(s)) return false;
    const PulseDeviceInfo* d = s.Side(device, scope);
    if (!d || source >= d->ports.size()) return false;
    std::string port = d->ports[source].name;
    uint32_t index = d->index;
    pa_context* c = fConnection->Context();
    return fConnection->Run([&](PulseConnection::Result* r) {
        return scope == AudioScope::kInput ? pa_context_set_source_port_by_index(
                                                 c, index, port.c_str(), PulseConnection::SuccessCallback, r)
                                           : pa_context_set_sink_port_by_index(
                                                 c, index, port.c_str(), PulseConnection::SuccessCallback, r);
    });
}

bool PulseAudioSystem::GetNominalRate(AudioDeviceID device, double& rate) {
    PulseSnapshot s;
    if (!fConnection->Snapshot(s)) return false;
    const PulseDeviceInfo* d = s.Device(device);
    if (!d || d->rate == 0) return false;
    rate = d->rate;
    return true;
}

bool PulseAudioSystem::SetNominalRate(AudioDeviceID, double) {
    return false;
}

bool PulseAudioSystem::GetVolume(AudioDeviceID device, AudioScope scope, uint32_t channel, float& scalar) {
    PulseSnapshot s;
    if (!fConnection->Snapshot(s)) return false;
    const PulseDeviceInfo* d = s.Side(device, scope);
    if (!d || !pa_cvolume_valid(&d->volume)) return false;
    if (channel == 0) {
        scalar = float(pa_cvolume_avg(&d->volume)) / float(PA_VOLUME_NORM);
        return true;
    }
    if (channel > d->volume.channels) return false;
    scalar = float(d->volume.values[channel - 1]) / float(PA_VOLUME_NORM);
    return true;
}

bool PulseAudioSystem::SetVolume(AudioDeviceID device, AudioScope scope, uint32_t channel, float scalar) {
    if (!(scalar >= 0) || scalar > 10) return false;
    PulseSnapshot s;
    if (!fConnection->Snapshot(s)) return false;
    const PulseDeviceInfo* d = s.Side(device, scope);
    if (!d || !pa_cvolume_valid(&d->volume)) return false;
    pa_cvolume v = d->volume;
    auto value = pa_volume_t(std::lround(double(scalar) * PA_VOLUME_NORM));
    if (channel == 0) {
        pa_cvolume_set(&v, v.channels, value);
    } else {
        if (channel > v.channels) return false;
        v.values[channel - 1] = value;
    }
    uint32_t index = d->index;
    pa_context* c = fConnection->Context();
    return fConnection->Run([&](PulseConnection::Result* r) {
        return scope == AudioScope::kInput
                   ? pa_context_set_source_volume_by_index(c, index, &v, PulseConnection::SuccessCallback, r)
                   : pa_context_set_sink_volume_by_index(c, index, &v, PulseConnection::SuccessCallback, r);
    });
}

AudioDeviceID PulseAudioSystem::DefaultDevice(AudioScope scope) {
    PulseSnapshot s;
    if (!fConnection->Snapshot(s)) return 0;
    if (scope == AudioScope::kOutput) {
        for (const PulseDeviceInfo& d : s.sinks)
            if (d.name == s.defaultSink) return SinkDeviceId(d.index);
        return 0;
    }
    for (const PulseDeviceInfo& d : s.sources) {
        if (d.name != s.defaultSource) continue;
        return d.monitor == PA_INVALID_INDEX ? SourceDeviceId(d.index) : SinkDeviceId(d.monitor);
    }
    return 0;
}

bool PulseAudioSystem::SetDefaultDevice(AudioScope scope, AudioDeviceID device) {
    PulseSnapshot s;
    if (!fConnection->Snapshot(s)) return false;
    const PulseDeviceInfo* d = s.Side(device, scope);
    if (!d) return false;
    std::string name = d->name;
    pa_context* c = fConnection->Context();
    return fConnection->Run([&](PulseConnection::Result* r) {
        return scope == AudioScope::kInput
                   ? pa_context_set_default_source(c, name.c_str(), PulseConnection::SuccessCallback, r)
                   : pa_context_set_default_sink(c, name.c_str(), PulseConnection::SuccessCallback, r);
    });
}

std::vector<AudioDeviceID> PulseAudioSystem::SubDevices(AudioDeviceID) {
    return {};
}

bool PulseAudioSystem::AddRateListener(AudioDeviceID device, AudioRateListener listener, void* context) {
    double rate = 0;
    if (!GetNominalRate(device, rate)) return false;
    std::lock_guard<std::mutex> lock(fMutex);
    for (const Listener& l : fListeners)
        if (l.device == device && l.listener == listener && l.context == context) return true;
    fListeners.push_back({device, listener, context});
    if (fRates[device] == 0) fRates[device] = rate;
    return true;
}

void PulseAudioSystem::RemoveRateListener(AudioDeviceID device, AudioRateListener listener, void* context) {
    // A call in progress on the notifier ends first (unless this is that call).
    std::lock_guard<std::recursive_mutex> calling(fCalling);
    std::lock_guard<std::mutex> lock(fMutex);
    fListeners.erase(std::remove_if(fListeners.begin(), fListeners.end(),
                                    [&](const Listener& l) {
                                        return l.device == device && l.listener == listener &&
                                               l.context == context;
                                    }),
                     fListeners.end());
}

std::unique_ptr<AudioCaptureUnit> PulseAudioSystem::NewCaptureUnit() {
    return std::make_unique<PulseCaptureUnit>(fConnection);
}

std::unique_ptr<AudioOutputUnit> PulseAudioSystem::NewOutputUnit() {
    return std::make_unique<PulseOutputUnit>(fConnection);
}

}  // namespace plat
