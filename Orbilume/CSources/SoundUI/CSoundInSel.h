#pragma once

#include "Lib3/LSources/CoreUI/LFrameSpec.h"
#include "Lib3/LSources/CoreUI/LModalDialog.h"
#include "Orbilume/CSources/Sound/SoundInputSpec.h"
#include "Orbilume/CSources/SoundUI/CSoundInChoices.h"

class LPopupList;
class LStdButton;
class LTitlePane;

// The sound-input dialog ("CSOUNDINSEL"): a device popup listing the devices with an input stream
// and a source popup with the chosen device's input data sources, each with its title, and OK and
// Cancel. Choosing another device refills the sources. Result 1 (OK) means the choice is to be
// taken. Main thread.
class CSoundInSel : public LModalDialog {
public:
    // system: borrowed; null takes plat::CurrentAudioSystem().
    CSoundInSel(LHandler* upper, const LFrameSpec& spec = ModalSpec(), plat::AudioSystem* system = nullptr);
    ~CSoundInSel() override;

    LMessage Handle(const LMessage& msg) override;

    // Selects the device of that name (else the first), refills the sources and selects the source of
    // that name (else the first).
    void Set(const SoundInputSpec& spec);
    // The texts of the selected device and source items.
    SoundInputSpec Get() const;

    LPopupList* DevicePopup() const { return fDevice; }
    LPopupList* SourcePopup() const { return fSource; }
    LStdButton* OkButton() const { return fOk; }

    // A modal dialog window.
    static LFrameSpec ModalSpec();
    // Shows a dialog set to spec and runs it until it ends; true (OK) with the choice in spec.
    static bool Run(LHandler* upper, SoundInputSpec& spec, plat::AudioSystem* system = nullptr);

private:
    void ShowDevices();
    void ShowSources();

    CSoundInChoices fChoices;
    LTitlePane* fDeviceTitle;
    LPopupList* fDevice;
    LTitlePane* fSourceTitle;
    LPopupList* fSource;
    LStdButton* fCancel;
    LStdButton* fOk;
};
