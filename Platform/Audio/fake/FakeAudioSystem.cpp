#include "Platform/Audio/fake/FakeAudioSystem.h"

#include <algorithm>
#include <cstring>

namespace plat {

FakeAudioSystem::FakeAudioSystem() = default;
FakeAudioSystem::~FakeAudioSystem() = default;

AudioDeviceID FakeAudioSystem::Add(const FakeAudioDevice& device) {
    AudioDeviceID id = fNextId++;
    fDevices.push_back({id, device});
    return id;
}

void FakeAudioSystem::Remove(AudioDeviceID device) {
    fDevices.erase(
        std::remove_if(fDevices.begin(), fDevices.end(), [&](const Entry& e) { return e.id == device; }),
        fDevices.end());
    if (fDefaultInput == device) fDefaultInput = 0;
    if (fDefaultOutput == device) fDefaultOutput = 0;
}

FakeAudioSystem::Entry* FakeAudioSystem::Find(AudioDeviceID device) {
    for (Entry& e : fDevices)
        if (e.id == device) return &e;
    return nullptr;
}

FakeAudioDevice* FakeAudioSystem::Device(AudioDeviceID device) {
    Entry* e = Find(device);
    return e ? &e->device : nullptr;
}

void FakeAudioSystem::ChangeRate(AudioDeviceID device, double rate) {
    Entry* e = Find(device);
    if (!e) return;
    e->device.rate = rate;
    std::vector<Listener> listeners = fListeners;
    for (const Listener& l : listeners)
        if (l.device == device) l.listener(l.context, device);
}

std::vector<FakeCaptureUnit*> FakeAudioSystem::CaptureUnits() {
    std::lock_guard<std::mutex> lock(fMutex);
    return fCaptures;
}

std::vector<FakeOutputUnit*> FakeAudioSystem::OutputUnits() {
    std::lock_guard<std::mutex> lock(fMutex);
    return fOutputs;
}

FakeCaptureUnit* FakeAudioSystem::LastCaptureUnit() {
    std::lock_guard<std::mutex> lock(fMutex);
    return fCaptures.empty() ? nullptr : fCaptures.back();
}

FakeOutputUnit* FakeAudioSystem::LastOutputUnit() {
    std::lock_guard<std::mutex> lock(fMutex);
    return fOutputs.empty() ? nullptr : fOutputs.back();
}

void FakeAudioSystem::Forget(FakeCaptureUnit* unit) {
    std::lock_guard<std::mutex> lock(fMutex);
    fCaptures.erase(std::remove(fCaptures.begin(), fCaptures.end(), unit), fCaptures.end());
}

void FakeAudioSystem::Forget(FakeOutputUnit* unit) {
    std::lock_guard<std::mutex> lock(fMutex);
    fOutputs.erase(std::remove(fOutputs.begin(), fOutputs.end(), unit), fOutputs.end());
}

std::vector<AudioDeviceID> FakeAudioSystem::Devices() {
    std::vector<AudioDeviceID> ids;
    for (const Entry& e : fDevices) ids.push_back(e.id);
    return ids;
}

bool FakeAudioSystem::GetDeviceName(AudioDeviceID device, std::string& name) {
    Entry* e = Find(device);
    if (!e) return false;
    name = e->device.name;
    return true;
}

uint32_t FakeAudioSystem::StreamCount(AudioDeviceID device, AudioScope scope) {
    Entry* e = Find(device);
    if (!e) return 0;
    return scope == AudioScope::kInput ? e->device.inputStreams : e->device.outputStreams;
}

std::vector<AudioDataSource> FakeAudioSystem::DataSources(AudioDeviceID device, AudioScope scope) {
    std::vector<AudioDataSource> out;
    Entry* e = Find(device);
    if (!e || scope != AudioScope::kInput) return out;
    for (uint32_t i = 0; i < e->device.inputSources.size(); ++i)
        out.push_back({i, e->device.inputSources[i]});
    return out;
}

bool FakeAudioSystem::SetDataSource(AudioDeviceID device, AudioScope scope, uint32_t source) {
    Entry* e = Find(device);
    if (!e || scope != AudioScope::kInput || source >= e->device.inputSources.size()) return false;
    e->device.currentSource = int32_t(source);
    return true;
}

bool FakeAudioSystem::GetNominalRate(AudioDeviceID device, double& rate) {
    Entry* e = Find(device);
    if (!e || !e->device.rateReadable) return false;
    rate = e->device.rate;
    return true;
}

bool FakeAudioSystem::SetNominalRate(AudioDeviceID device, double rate) {
    Entry* e = Find(device);
    if (!e || !e->device.rateSettable || rate <= 0) return false;
    e->device.rate = rate;
    return true;
}

bool FakeAudioSystem::GetVolume(AudioDeviceID device, AudioScope scope, uint32_t channel, float& scalar) {
    Entry* e = Find(device);
    if (!e || scope != AudioScope::kInput) return false;
    if (channel == 0) {
        if (!e->device.hasMaster) return false;
        scalar = e->device.master;
        return true;
    }
    if (channel > e->device.channelVolumes.size()) return false;
    scalar = e->device.channelVolumes[channel - 1];
    return true;
}

bool FakeAudioSystem::SetVolume(AudioDeviceID device, AudioScope scope, uint32_t channel, float scalar) {
    Entry* e = Find(device);
    if (!e || scope != AudioScope::kInput) return false;
    if (channel == 0) {
        if (!e->device.hasMaster) return false;
        e->device.master = scalar;
        return true;
    }
    if (channel > e->device.channelVolumes.size()) return false;
    e->device.channelVolumes[channel - 1] = scalar;
    return true;
}

AudioDeviceID FakeAudioSystem::DefaultDevice(AudioScope scope) {
    return scope == AudioScope::kInput ? fDefaultInput : fDefaultOutput;
}

bool FakeAudioSystem::SetDefaultDevice(AudioScope scope, AudioDeviceID device) {
    if (StreamCount(device, scope) == 0) return false;
    (scope == AudioScope::kInput ? fDefaultInput : fDefaultOutput) = device;
    return true;
}

std::vector<AudioDeviceID> FakeAudioSystem::SubDevices(AudioDeviceID device) {
    Entry* e = Find(device);
    return e ? e->device.subDevices : std::vector<AudioDeviceID>();
}

bool FakeAudioSystem::AddRateListener(AudioDeviceID device, AudioRateListener listener, void* context) {
    if (!Find(device)) return false;
    for (const Listener& l : fListeners)
        if (l.device == device && l.listener == listener && l.context == context) return true;
    fListeners.push_back({device, listener, context});
    return true;
}

void FakeAudioSystem::RemoveRateListener(AudioDeviceID device, AudioRateListener listener, void* context) {
    fListeners.erase(std::remove_if(fListeners.begin(), fListeners.end(),
                                    [&](const Listener& l) {
                                        return l.device == device && l.listener == listener &&
                                               l.context == context;
                                    }),
                     fListeners.end());
}

std::unique_ptr<AudioCaptureUnit> FakeAudioSystem::NewCaptureUnit() {
    if (refuseCaptureUnit) return nullptr;
    auto unit = std::make_unique<FakeCaptureUnit>(this);
    std::lock_guard<std::mutex> lock(fMutex);
    fCaptures.push_back(unit.get());
    return unit;
}

std::unique_ptr<AudioOutputUnit> FakeAudioSystem::NewOutputUnit() {
    if (refuseOutputUnit) return nullptr;
    auto unit = std::make_unique<FakeOutputUnit>(this);
    std::lock_guard<std::mutex> lock(fMutex);
    fOutputs.push_back(unit.get());
    return unit;
}

// Capture

FakeCaptureUnit::FakeCaptureUnit(FakeAudioSystem* system) : fSystem(system) {}
FakeCaptureUnit::~FakeCaptureUnit() {
    fSystem->Forget(this);
}

void FakeCaptureUnit::CountingFrames(uint8_t* out, uint64_t firstFrame, uint32_t frames,
                                     uint32_t bytesPerFrame) {
    for (uint32_t f = 0; f < frames; ++f) {
        uint64_t n = firstFrame + f;
        uint8_t* p = out + size_t(f) * bytesPerFrame;
        for (uint32_t b = 0; b < bytesPerFrame; ++b) p[b] = b < 4 ? uint8_t(n >> (8 * b)) : uint8_t(n + b);
    }
}

int FakeCaptureUnit::Deliver(uint32_t frames) {
    if (!initialized || !started || !fCallback || !fSystem->Find(device)) return -1;
    fPending = frames;
    int result = fCallback(fContext, frames);
    fPending = 0;
    return result;
}

bool FakeCaptureUnit::SetDevice(AudioDeviceID id) {
    if (fSystem->refuseCurrentDevice || fSystem->StreamCount(id, AudioScope::kInput) == 0) return false;
    device = id;
    return true;
}

bool FakeCaptureUnit::SetClientFormat(const AudioFormat& format) {
    if (format.bits < 1 || format.bits > 32 || format.channels < 1) return false;
    FakeAudioSystem::Entry* e = fSystem->Find(device);
    if (!e) return false;
    if (e->device.acceptsFormat && !e->device.acceptsFormat(format)) return false;
    fFormat = format;
    if (e->device.adjustsFormat) e->device.adjustsFormat(fFormat);
    fHasFormat = true;
    return true;
}

bool FakeCaptureUnit::GetClientFormat(AudioFormat& format) const {
    if (!fHasFormat || fSystem->failClientFormatReadBack) return false;
    format = fFormat;
    return true;
}

void FakeCaptureUnit::SetInputCallback(void* context, InputCallback callback) {
    fContext = context;
    fCallback = callback;
}

bool FakeCaptureUnit::Initialize() {
    if (fSystem->refuseInitialize || !fHasFormat) return false;
    initialized = true;
    return true;
}

void FakeCaptureUnit::Uninitialize() {
    started = false;
    initialized = false;
}

bool FakeCaptureUnit::Start() {
    if (!initialized) return false;
    started = true;
    return true;
}

void FakeCaptureUnit::Stop() {
    started = false;
}

int FakeCaptureUnit::Render(void* out, uint32_t frames) {
    if (fSystem->renderError) return fSystem->renderError;
    if (frames > fPending) return -50;
    fGenerator(static_cast<uint8_t*>(out), fNextFrame, frames, fFormat.BytesPerFrame());
    fNextFrame += frames;
    fPending -= frames;
    return 0;
}

// Output

FakeOutputUnit::FakeOutputUnit(FakeAudioSystem* system) : fSystem(system) {}
FakeOutputUnit::~FakeOutputUnit() {
    fSystem->Forget(this);
}

int FakeOutputUnit::Pull(uint32_t frames) {
    if (!initialized || !started || !fCallback) return -1;
    if (device != 0 && !fSystem->Find(device)) return -1;
    fBuffer.assign(size_t(frames) * format.BytesPerFrame(), 0);
    AudioBuffer buffer{fBuffer.data(), uint32_t(fBuffer.size())};
    int result = fCallback(fContext, buffer, frames);
    if (result != 0 || buffer.bytes == 0 || !buffer.data) {
        ++silentSlices;
        return result;
    }
    const uint8_t* p = static_cast<const uint8_t*>(buffer.data);
    played.insert(played.end(), p, p + buffer.bytes);
    return result;
}

bool FakeOutputUnit::SetDevice(AudioDeviceID id) {
    if (id != 0 && (fSystem->refuseCurrentDevice || fSystem->StreamCount(id, AudioScope::kOutput) == 0))
        return false;
    device = id;
    return true;
}

bool FakeOutputUnit::GetDeviceFormat(AudioFormat& out) const {
    AudioDeviceID id = device ? device : fSystem->fDefaultOutput;
    FakeAudioSystem::Entry* e = fSystem->Find(id);
    if (!e || !e->device.rateReadable) return false;
    out = AudioFormat{e->device.rate, 2, 32, true, false};
    return true;
}

bool FakeOutputUnit::SetInputFormat(const AudioFormat& f) {
    if (f.bits < 1 || f.bits > 32 || f.channels < 1) return false;
    format = f;
    return true;
}

void FakeOutputUnit::SetRenderCallback(void* context, RenderCallback callback) {
    fContext = context;
    fCallback = callback;
}

bool FakeOutputUnit::GetMaximumFramesPerSlice(uint32_t& frames) const {
    frames = fSystem->maxFramesPerSlice;
    return frames != 0;
}

bool FakeOutputUnit::Initialize() {
    if (fSystem->refuseOutputInitialize || format.channels == 0) return false;
    if (device == 0 && fSystem->fDefaultOutput == 0) return false;
    initialized = true;
    return true;
}

void FakeOutputUnit::Uninitialize() {
    started = false;
    initialized = false;
}

bool FakeOutputUnit::Start() {
    if (!initialized) return false;
    started = true;
    return true;
}

void FakeOutputUnit::Stop() {
    started = false;
}

}  // namespace plat
