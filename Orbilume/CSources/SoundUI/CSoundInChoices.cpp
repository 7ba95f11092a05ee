#include "Orbilume/CSources/SoundUI/CSoundInChoices.h"

CSoundInChoices::CSoundInChoices(plat::AudioSystem* system)
    : fSystem(system ? system : plat::CurrentAudioSystem()) {
    if (!fSystem) return;
    for (plat::AudioDeviceID id : fSystem->Devices()) {
        std::string name;
        if (fSystem->StreamCount(id, plat::AudioScope::kInput) == 0 || !fSystem->GetDeviceName(id, name))
            continue;
        fIds.push_back(id);
        fDevices.push_back(name);
    }
    ChooseDevice(0);
}

void CSoundInChoices::ChooseDevice(int index) {
    fDevice = index >= 0 && size_t(index) < fDevices.size() ? index : (fDevices.empty() ? -1 : 0);
    FillSources();
}

void CSoundInChoices::FillSources() {
    fSources.clear();
    if (fDevice >= 0 && fSystem)
        for (const plat::AudioDataSource& s :
             fSystem->DataSources(fIds[size_t(fDevice)], plat::AudioScope::kInput))
            fSources.push_back(s.name);
    fSource = fSources.empty() ? -1 : 0;
}

void CSoundInChoices::ChooseSource(int index) {
    if (index >= 0 && size_t(index) < fSources.size()) fSource = index;
}

void CSoundInChoices::Set(const SoundInputSpec& spec) {
    const std::string device(spec.device.CStr(), spec.device.Length());
    int found = 0;
    for (size_t i = 0; i < fDevices.size(); ++i)
        if (fDevices[i] == device) {
            found = int(i);
            break;
        }
    ChooseDevice(found);
    const std::string source(spec.source.CStr(), spec.source.Length());
    for (size_t i = 0; i < fSources.size(); ++i)
        if (fSources[i] == source) {
            fSource = int(i);
            break;
        }
}

SoundInputSpec CSoundInChoices::Get() const {
    SoundInputSpec spec;
    if (fDevice >= 0) spec.device = LString(fDevices[size_t(fDevice)].c_str());
    if (fSource >= 0) spec.source = LString(fSources[size_t(fSource)].c_str());
    return spec;
}
