#include "Orbilume/CSources/Sound/CLoopbackOutput.h"

CLoopbackOutput::CLoopbackOutput(plat::AudioSystem* system) : fSystem(system) {}

CLoopbackOutput::~CLoopbackOutput() {
    Close();
}

void CLoopbackOutput::SetPull(void* context, Pull pull) {
    fPullContext = context;
    fPull = pull;
}

int CLoopbackOutput::Open(const std::string& deviceName, const SoundFormat& format) {
    plat::AudioSystem* system = fSystem ? fSystem : plat::CurrentAudioSystem();
    if (!system || fUnit) return 1;
    plat::AudioDeviceID device = deviceName.empty() ? 0 : plat::FindAudioDevice(*system, deviceName);
    if (device == 0) device = system->DefaultDevice(plat::AudioScope::kOutput);
    if (device == 0) return 1;
    std::unique_ptr<plat::AudioOutputUnit> unit = system->NewOutputUnit();
    if (!unit || !unit->SetDevice(device)) return 1;

    plat::AudioFormat deviceFormat;
    const double deviceRate = unit->GetDeviceFormat(deviceFormat) ? deviceFormat.rate : 0;
    plat::AudioFormat input{format.rate != 0 ? double(format.rate) : deviceRate, format.channels, format.bits,
                            format.isSigned != 0, format.bigEndian != 0};
    if (!unit->SetInputFormat(input)) return 1;
    unit->SetRenderCallback(this, Render);
    uint32_t maxFrames = 0;
    if (!unit->GetMaximumFramesPerSlice(maxFrames) || maxFrames == 0) maxFrames = kDefaultMaxFrames;
    if (!unit->Initialize()) {
        unit->Uninitialize();
        return 1;
    }
    fBytesPerFrame = input.BytesPerFrame();
    fRate = input.rate >= 1 && input.rate < 4294967296.0 ? uint32_t(input.rate) : 0;
    fMaxFrames = maxFrames;
    fUnit = std::move(unit);
    return 0;
}

void CLoopbackOutput::Start() {
    if (fUnit) (void)fUnit->Start();
}

void CLoopbackOutput::Stop() {
    if (fUnit) fUnit->Stop();
}

void CLoopbackOutput::Close() {
    if (!fUnit) return;
    fUnit->Stop();
    fUnit->Uninitialize();
    fUnit.reset();
}

int CLoopbackOutput::Render(void* self, plat::AudioBuffer& buffer, uint32_t frames) {
    auto* o = static_cast<CLoopbackOutput*>(self);
    const uint64_t bytes = uint64_t(frames) * o->fBytesPerFrame;
    if (!o->fPull || bytes > 0xFFFFFFFFu || !o->fPull(o->fPullContext, buffer, uint32_t(bytes))) {
        buffer.bytes = 0;
        return kNoData;
    }
    return 0;
}
