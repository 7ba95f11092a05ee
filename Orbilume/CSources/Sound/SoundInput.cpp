#include "Orbilume/CSources/Sound/SoundInput.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using plat::AudioScope;

constexpr uint32_t kVolumeChannels = 4;

std::string ToStd(const LString& s) {
    return std::string(s.CStr(), s.Length());
}

}  // namespace

SoundInput::SoundInput(LAsyncLoop* loop, plat::AudioSystem* system)
    : LHandler(nullptr), fSystem(system ? system : plat::CurrentAudioSystem()) {
    if (fSystem) fUnit = fSystem->NewCaptureUnit();
    if (loop) fSignal = std::make_unique<LAsyncSignal>(this, loop);
    fScratch = static_cast<uint8_t*>(std::malloc(kInitialScratch));
    if (fScratch) fScratchSize = kInitialScratch;
    std::memset(fRing, 0, sizeof fRing);
}

SoundInput::~SoundInput() {
    Close();
    fUnit.reset();
    fSignal.reset();
    std::free(fScratch);
}

LMessage SoundInput::Handle(const LMessage& msg) {
    if (msg.Is(LAsyncSignal_X) && fSignal && msg.sender == fSignal.get()) {
        OnSignal();
        return LMessage();
    }
    return LHandler::Handle(msg);
}

int SoundInput::Open(const SoundInputSpec& spec, const SoundFormat& format) {
    if (IsOpen()) return 0;
    if (!fSystem || !fUnit) return 1;
    if (format.channels == 0 || format.bits < 1 || format.bits > 32 ||
        format.BytesPerFrame() > kMaxBytesPerFrame)
        return 1;

    // 1. The device: the default input for an empty name, else the first of that name with input.
    std::vector<plat::AudioDeviceID> devices = fSystem->Devices();
    if (devices.empty()) return 1;
    plat::AudioDeviceID device = 0;
    if (spec.device.IsEmpty()) {
        device = fSystem->DefaultDevice(AudioScope::kInput);
    } else {
        const std::string wanted = ToStd(spec.device);
        for (plat::AudioDeviceID id : devices) {
            std::string name;
            if (fSystem->GetDeviceName(id, name) && name == wanted &&
                fSystem->StreamCount(id, AudioScope::kInput) > 0) {
                device = id;
                break;
            }
        }
    }
    if (device == 0) return 1;

    // 2. The unit captures from it.
    if (!fUnit->SetDevice(device)) {
        fUnit->Uninitialize();
        return 1;
    }

    // 3. The data source by name; none of that name leaves the device's own.
    if (!spec.source.IsEmpty()) {
        const std::string wanted = ToStd(spec.source);
        for (const plat::AudioDataSource& s : fSystem->DataSources(device, AudioScope::kInput)) {
            if (s.name != wanted) continue;
            (void)fSystem->SetDataSource(device, AudioScope::kInput, s.id);
            break;
        }
    }

    // 4. The rate: the requested one if the device takes it, else the device's own.
    if (format.rate != 0) (void)fSystem->SetNominalRate(device, format.rate);
    double rate = 0;
    if (!fSystem->GetNominalRate(device, rate) || !(rate > 0)) rate = kDefaultRate;

    // 5. The client format, read back as the actual one.
    plat::AudioFormat client{rate, format.channels, format.bits, format.isSigned != 0, format.bigEndian != 0};
    plat::AudioFormat actual;
    if (!fUnit->SetClientFormat(client) || !fUnit->GetClientFormat(actual) || actual.channels == 0 ||
        actual.channels > 255 || actual.bits < 1 || actual.bits > 32 ||
        actual.BytesPerFrame() > kMaxBytesPerFrame) {
        fUnit->Uninitialize();
        return 1;
    }
    fFormat.rate = actual.rate >= 1 && actual.rate < 4294967296.0 ? uint32_t(actual.rate) : 0;
    fFormat.channels = uint8_t(actual.channels);
    fFormat.bits = uint8_t(actual.bits);
    fFormat.isSigned = actual.isSigned ? 1 : 0;
    fFormat.bigEndian = actual.bigEndian ? 1 : 0;
    fBytesPerFrame = actual.BytesPerFrame();

    // 6. The callback, and the unit ready to start.
    fUnit->SetInputCallback(this, RenderProc);
    if (!fUnit->Initialize()) {
        fUnit->Uninitialize();
        return 1;
    }

    // 7. An empty ring.
    fWrite.store(0, std::memory_order_relaxed);
    fThruRead.store(0, std::memory_order_relaxed);
    fConsumerRead.store(0, std::memory_order_relaxed);
    fDevice = device;
    fOpen.store(true, std::memory_order_release);
    return 0;
}

void SoundInput::Close() {
    if (!IsOpen()) return;
    fOpen.store(false, std::memory_order_release);
    StopThru();
    fUnit->Stop();
    fUnit->Uninitialize();
}

void SoundInput::Start() {
    if (IsOpen()) (void)fUnit->Start();
}

void SoundInput::Stop() {
    if (fUnit) fUnit->Stop();
}

void SoundInput::SetConsumer(void* context, Consumer consumer) {
    std::lock_guard<std::mutex> lock(fConsumerMutex);
    fConsumerContext = context;
    fConsumer = consumer;
}

bool SoundInput::GrowScratch(uint32_t bytes) {
    if (bytes <= fScratchSize) return true;
    if (bytes > kMaxScratch) return false;
    auto* grown = static_cast<uint8_t*>(std::realloc(fScratch, bytes));
    if (!grown) return false;
    fScratch = grown;
    fScratchSize = bytes;
    return true;
}

uint32_t SoundInput::ContiguousFree(uint16_t& write) const {
    const uint32_t frame = fBytesPerFrame;
    uint32_t used = uint16_t(write - fThruRead.load(std::memory_order_acquire));
    if (fSignal)
        used = std::max<uint32_t>(used, uint16_t(write - fConsumerRead.load(std::memory_order_acquire)));
    uint32_t free = used >= kRingSize ? 0 : kRingSize - used;
    uint32_t toEnd = kRingSize - (write & kRingMask);
    if (toEnd < frame && free >= toEnd + frame) {
        // A frame never straddles the end: the short tail is skipped (readers skip it too).
        write = uint16_t(write + toEnd);
        free -= toEnd;
        toEnd = kRingSize;
    }
    return std::min(free, toEnd) / frame * frame;
}

int SoundInput::RenderProc(void* self, uint32_t frames) {
    return static_cast<SoundInput*>(self)->Capture(frames);
}

int SoundInput::Capture(uint32_t frames) {
    if (frames == 0) return 0;
    const uint64_t need64 = uint64_t(frames) * fBytesPerFrame;
    uint16_t write = fWrite.load(std::memory_order_relaxed);
    const uint8_t* rendered = nullptr;
    uint32_t need = 0;
    if (need64 <= ContiguousFree(write)) {
        need = uint32_t(need64);
        uint8_t* at = fRing + (write & kRingMask);
        if (int err = fUnit->Render(at, frames)) return err;
        rendered = at;
        write = uint16_t(write + need);
        fWrite.store(write, std::memory_order_release);
    } else {
        // Too big for the space left: render aside, keep what fits, drop the newest rest.
        if (need64 > kMaxScratch || !GrowScratch(uint32_t(need64))) return 0;
        need = uint32_t(need64);
        if (int err = fUnit->Render(fScratch, frames)) return err;
        rendered = fScratch;
        for (uint32_t done = 0; done < need;) {
            uint32_t space = ContiguousFree(write);
            if (space == 0) break;
            uint32_t n = std::min(need - done, space);
            std::memcpy(fRing + (write & kRingMask), fScratch + done, n);
            write = uint16_t(write + n);
            fWrite.store(write, std::memory_order_release);
            done += n;
        }
    }
    if (!fThruRunning.load(std::memory_order_acquire)) fThruRead.store(write, std::memory_order_release);

    void* context;
    Consumer consumer;
    {
        std::lock_guard<std::mutex> lock(fConsumerMutex);
        context = fConsumerContext;
        consumer = fConsumer;
    }
    if (!consumer) return 0;
    if (!fSignal) {
        consumer(context, rendered, need);
    } else {
        fSignal->Raise();  // nothing when already queued
    }
    return 0;
}

void SoundInput::OnSignal() {
    if (!IsOpen()) return;
    void* context;
    Consumer consumer;
    {
        std::lock_guard<std::mutex> lock(fConsumerMutex);
        context = fConsumerContext;
        consumer = fConsumer;
    }
    const uint32_t frame = fBytesPerFrame;
    uint16_t read = fConsumerRead.load(std::memory_order_relaxed);
    for (;;) {
        const uint16_t write = fWrite.load(std::memory_order_acquire);
        if (read == write) break;
        const uint32_t available = uint16_t(write - read);
        const uint32_t toEnd = kRingSize - (read & kRingMask);
        const uint32_t chunk = std::min(available, toEnd);
        if (chunk < frame) {
            if (chunk != toEnd) break;  // never happens: the writer adds whole frames
            read = uint16_t(read + chunk);
            fConsumerRead.store(read, std::memory_order_release);
            continue;
        }
        const uint32_t whole = chunk / frame * frame;
        if (consumer) consumer(context, fRing + (read & kRingMask), whole);
        read = uint16_t(read + whole);
        fConsumerRead.store(read, std::memory_order_release);
    }
}

int SoundInput::ThruRender(void* self, plat::AudioBuffer& buffer, uint32_t frames) {
    auto* s = static_cast<SoundInput*>(self);
    const uint32_t frame = s->fBytesPerFrame;
    const uint64_t need64 = uint64_t(frames) * frame;
    uint16_t read = s->fThruRead.load(std::memory_order_relaxed);
    const uint16_t write = s->fWrite.load(std::memory_order_acquire);
    const uint32_t available = uint16_t(write - read);
    const uint32_t toEnd = kRingSize - (read & kRingMask);
    const uint64_t availableFrames =
        available >= toEnd ? toEnd / frame + (available - toEnd) / frame : available / frame;
    if (!s->fThruRunning.load(std::memory_order_acquire) || availableFrames < frames || !buffer.data ||
        need64 > buffer.bytes) {
        buffer.bytes = 0;
        return kNoData;
    }
    auto* out = static_cast<uint8_t*>(buffer.data);
    for (uint32_t left = uint32_t(need64); left > 0;) {
        const uint32_t end = kRingSize - (read & kRingMask);
        const uint32_t chunk = std::min<uint32_t>(uint16_t(write - read), end);
        if (chunk < frame) {
            read = uint16_t(read + chunk);  // the short tail
            continue;
        }
        const uint32_t n = std::min(left, chunk / frame * frame);
        std::memcpy(out, s->fRing + (read & kRingMask), n);
        out += n;
        left -= n;
        read = uint16_t(read + n);
    }
    s->fThruRead.store(read, std::memory_order_release);
    buffer.bytes = uint32_t(need64);
    return 0;
}

void SoundInput::SetThru(bool on) {
    fThruRequested = on;
    ApplyThru();
}

void SoundInput::ApplyThru() {
    const bool wanted = IsOpen() && fThruRequested;
    if (!wanted) {
        StopThru();
        return;
    }
    if (fThru) return;  // already playing through
    std::unique_ptr<plat::AudioOutputUnit> unit = fSystem->NewOutputUnit();
    plat::AudioFormat client;
    if (!unit || !fUnit->GetClientFormat(client) || !unit->SetDevice(0) || !unit->SetInputFormat(client))
        return;
    unit->SetRenderCallback(this, ThruRender);
    if (!unit->Initialize()) return;
    fThruRead.store(fWrite.load(std::memory_order_acquire), std::memory_order_release);
    fThruRunning.store(true, std::memory_order_release);
    if (!unit->Start()) {
        fThruRunning.store(false, std::memory_order_release);
        unit->Uninitialize();
        return;
    }
    fThru = std::move(unit);
}

void SoundInput::StopThru() {
    if (!fThru) return;
    fThru->Stop();
    fThruRunning.store(false, std::memory_order_release);
    fThru->Uninitialize();
    fThru.reset();
}

uint32_t SoundInput::GetVolume() {
    if (!IsOpen()) return fVolume;
    float scalar = 0;
    if (!fSystem->GetVolume(fDevice, AudioScope::kInput, 0, scalar)) {
        float best = 0;
        uint32_t read = 0;
        for (uint32_t ch = 1; ch <= kVolumeChannels; ++ch) {
            float v = 0;
            if (!fSystem->GetVolume(fDevice, AudioScope::kInput, ch, v)) break;
            best = read == 0 ? v : std::max(best, v);
            ++read;
        }
        scalar = read == 0 ? 0.5f : best;
    }
    // Truncated, with room for the rounding of the stored scalar (a float, or 1/65536 steps on
    // PulseAudio): 57 set reads 57, not 56.
    double percent = double(scalar) * 100.0 + 0.005;
    fVolume = percent <= 0 ? 0 : percent >= 4294967295.0 ? 4294967295u : uint32_t(percent);
    return fVolume;
}

void SoundInput::SetVolume(uint32_t percent) {
    fVolume = percent;
    if (!IsOpen()) return;
    const float scalar = float(std::min<uint32_t>(percent, 100)) / 100.0f;
    if (fSystem->SetVolume(fDevice, AudioScope::kInput, 0, scalar)) return;
    for (uint32_t ch = 1; ch <= kVolumeChannels; ++ch)
        if (!fSystem->SetVolume(fDevice, AudioScope::kInput, ch, scalar)) break;
}
