#pragma once

#include <string>
#include <vector>

#include "Orbilume/CSources/Sound/SoundInputSpec.h"
#include "Platform/Audio/AudioSystem.h"

// What the sound-input dialog offers and which items are chosen: the devices that have an input
// stream (in device order) and the input data sources of the chosen device. The dialog's popups
// show these lists; set and get go through a SoundInputSpec. Main thread.
class CSoundInChoices {
public:
    // system: borrowed; null takes plat::CurrentAudioSystem(). Lists the devices, chooses the first.
    explicit CSoundInChoices(plat::AudioSystem* system = nullptr);

    const std::vector<std::string>& Devices() const { return fDevices; }
    const std::vector<std::string>& Sources() const { return fSources; }
    // -1 when the list is empty.
    int DeviceIndex() const { return fDevice; }
    int SourceIndex() const { return fSource; }

    // The device popup changed: refills the sources (none chosen unless there are any: the first).
    void ChooseDevice(int index);
    void ChooseSource(int index);
    // The device of that name (else the first), its sources, the source of that name (else the first).
    void Set(const SoundInputSpec& spec);
    // The chosen device's and source's texts (empty when none).
    SoundInputSpec Get() const;

private:
    void FillSources();

    plat::AudioSystem* fSystem;
    std::vector<plat::AudioDeviceID> fIds;
    std::vector<std::string> fDevices;
    std::vector<std::string> fSources;
    int fDevice = -1;
    int fSource = -1;
};
