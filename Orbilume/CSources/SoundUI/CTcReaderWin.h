#pragma once

#include <functional>
#include <memory>

#include "Lib3/LSources/CoreData/LTimer.h"
#include "Lib3/LSources/CoreUI/CSlider.h"
#include "Lib3/LSources/CoreUI/CStateButton.h"
#include "Lib3/LSources/CoreUI/LFrame.h"
#include "Lib3/LSources/CoreUI/LStdCheck.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Orbilume/CSources/SoundUI/CLevelMeter.h"
#include "Orbilume/CSources/SoundUI/CTcReader.h"

// The LTC reader window ("TCRCTLF"): the level meter, the gain slider (−20..3 dB), the thru check
// box, the time display, the use and sound-input buttons, laid out by the layout of that name and
// titled from its string list. Its logic is a CTcReader; this frame turns the panes' messages into
// the reader's calls and carries out what the reader asks of the window. Main thread.
class CTcReaderWin : public LFrame, public CTcReaderView {
public:
    // Runs the sound-input dialog set to a spec; true (OK) with the choice in it.
    using DialogRunner = std::function<bool(SoundInputSpec& spec)>;

    CTcReaderWin(LHandler* upper, LPane* owner, LtcSource* source, LAsyncLoop* mainLoop,
                 const LFrameSpec& spec = LFrameSpec::Default());
    ~CTcReaderWin() override;

    LMessage Handle(const LMessage& msg) override;
    // The sound-input button runs this instead of the CSoundInSel dialog (tests).
    void SetDialogRunner(DialogRunner runner) { fDialog = std::move(runner); }
    // The audio system the dialog lists (borrowed; null: the current one).
    void SetAudioSystem(plat::AudioSystem* system) { fAudio = system; }

    CTcReader& Reader() { return *fReader; }
    CLevelMeter* Meter() const { return fMeter; }
    CSlider* GainSlider() const { return fGain; }
    LStdCheck* ThruBox() const { return fThru; }
    LTextPane* TimeText() const { return fTime; }
    CStateButton* UseButton() const { return fUse; }
    CStateButton* SoundInputButton() const { return fSoundIn; }
    bool IsUseOn() const { return fUseOn; }
    LTimer& MeterTimer() { return fMeterTimer; }

    // CTcReaderView
    void ShowTime(const std::string& text) override;
    void SetMeterValue(uint32_t value) override;
    void SetUseButton(bool on) override;
    void SetGainSlider(int dB) override;
    void SetThruBox(bool checked) override;
    void ShowWindow(bool shown) override;
    bool IsWindowShown() const override { return fShown; }
    void PlaceWindow(const CLRect& frame) override;
    CLRect WindowFrame() const override;
    void StartMeterTimer(uint32_t ms) override;
    void StopMeterTimer() override;
    bool RunSoundInputDialog(SoundInputSpec& spec) override;

private:
    CLevelMeter* fMeter;
    LTextPane* fGainLabel;
    CSlider* fGain;
    LStdCheck* fThru;
    LTextPane* fTimeLabel;
    LTextPane* fTime;
    CStateButton* fUse;
    CStateButton* fSoundIn;
    LTimer fMeterTimer;
    DialogRunner fDialog;
    plat::AudioSystem* fAudio = nullptr;
    std::unique_ptr<CTcReader> fReader;
    bool fShown = false;
    bool fUseOn = false;
    CLRect fFrame;  // without a window
};
