#pragma once

#include <cstdint>
#include <string>

#include "Lib3/LSources/CoreUI/CLRect.h"
#include "Orbilume/CSources/Sound/SoundInputSpec.h"

// What the LTC reader's logic (CTcReader) asks of its window: the panes it sets, the window's
// placement and visibility, the meter timer and the sound-input dialog. Main thread.
class CTcReaderView {
public:
    virtual ~CTcReaderView() = default;

    virtual void ShowTime(const std::string& text) = 0;
    virtual void SetMeterValue(uint32_t value) = 0;
    virtual void SetUseButton(bool on) = 0;
    virtual void SetGainSlider(int dB) = 0;
    virtual void SetThruBox(bool checked) = 0;
    virtual void ShowWindow(bool shown) = 0;
    virtual bool IsWindowShown() const = 0;
    virtual void PlaceWindow(const CLRect& frame) = 0;
    virtual CLRect WindowFrame() const = 0;
    virtual void StartMeterTimer(uint32_t ms) = 0;
    virtual void StopMeterTimer() = 0;
    // Runs the sound-input dialog set to `spec`; true (OK) with the choice in `spec`.
    virtual bool RunSoundInputDialog(SoundInputSpec& spec) = 0;
};
