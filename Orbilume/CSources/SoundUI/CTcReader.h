#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreData/LAsyncLoop.h"
#include "Lib3/LSources/CoreData/LHandler.h"
#include "Orbilume/CSources/Sound/LtcSource.h"
#include "Orbilume/CSources/SoundUI/CLevelMeter.h"
#include "Orbilume/CSources/SoundUI/CTcReaderView.h"

// The logic of the LTC reader window: switches the LTC source on and off, sets its gain and
// play-through, chooses its sound input, shows the decoded time and the input level, and keeps its
// state in a parameter set ("gain", "thru", "use", "vis", "sndin", "wp"). The source's listener
// only posts an event; the time is shown on the main thread. Main thread, except the listener.
class CTcReader : public LHandler {
public:
    static constexpr uint32_t kMeterMs = 500;
    static constexpr uint32_t kMeterSteps = 15;
    static constexpr int kGainMin = -20;
    static constexpr int kGainMax = 3;

    // source and view borrowed; mainLoop: where the listener's event is posted (the main loop).
    CTcReader(LtcSource* source, LAsyncLoop* mainLoop, CTcReaderView* view);
    ~CTcReader() override;

    // "LAsyncEvent_Note" of the time event: shows the source's time.
    LMessage Handle(const LMessage& msg) override;

    // Gives a meter the reader's look: the images "LMOF" (off) and "LMON" (on) from the resources
    // (loaded once for the program's life), inset 1, 15 steps.
    static void SetUpMeter(CLevelMeter& meter);

    // The meter step for a level: LevelDb / 2 + 15, computed signed and clamped to 0..15, so
    // silence (the lowest integer) is 0 and full scale 15.
    static uint32_t MeterValue(int levelDb);
    // The meter timer expired: shows the level and asks for the next tick.
    void OnMeterTimer();
    // The gain slider moved (dB), the thru box changed.
    void OnGainChanged(int dB);
    void OnThruChanged(bool checked);
    // The use button: closes an open input, else opens it.
    void OnUsePressed();
    // The sound-input button: closes the input, runs the dialog, takes an OK choice, and opens again
    // when the input had been open (with the old choice after a cancel).
    void OnSoundInputPressed();

    // Reads gain, thru, sound input, placement, visibility, use, in that order; missing keys keep
    // the defaults. A placement with right ≤ left or bottom ≤ top is ignored.
    void ReadSettings(CRecordRef set);
    void WriteSettings(CRecordRef set, LHandler* editor) const;

    bool IsOpen() const { return fSource->IsOpen(); }
    int Gain() const { return fGain; }
    bool Thru() const { return fThru; }
    const SoundInputSpec& Spec() const { return fSpec; }
    LAsyncEvent& TimeEvent() { return fEvent; }

private:
    static void OnTime(void* self, TimecodeSource* source);
    void Open();
    void Close();

    LtcSource* fSource;
    CTcReaderView* fView;
    LAsyncEvent fEvent;
    SoundInputSpec fSpec;
    int fGain = 0;
    bool fThru = false;
};
