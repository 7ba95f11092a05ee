#pragma once

#include <memory>
#include <mutex>

#include "Lib3/LSources/CoreData/LAsyncLoop.h"
#include "Lib3/LSources/CoreData/LHandler.h"
#include "Orbilume/CSources/Midi/CMidiInPort.h"
#include "Orbilume/CSources/Midi/MidiInMessage.h"
#include "Orbilume/CSources/Midi/MtcQuarterFrames.h"
#include "Orbilume/CSources/Timecode/TimecodeSource.h"

// MIDI Time Code as a timecode source. Quarter frames reach OnMidi on the MIDI thread through the
// application's MIDI callback; each completed time (plus two frames) is kept as the pending time
// and one signal carries the latest to the owning loop's thread, which publishes and notifies.
// The source also owns a port named "MTC IN", created with it and never connected.
class MtcSource : public TimecodeSource, public LHandler {
public:
    explicit MtcSource(LAsyncLoop* loop);
    ~MtcSource() override;

    // MIDI thread: uses 0xF1 messages of a read that has had no run yet.
    void OnMidi(const MidiInMessage& message);
    LMessage Handle(const LMessage& msg) override;

    CMidiInPort* Port() const { return fPort.get(); }

private:
    // The loop's thread: publishes the pending time.
    void OnSignal();

    std::mutex fPendingMutex;
    LAsyncSignal fSignal;
    MtcQuarterFrames fFrames;  // MIDI thread only
    Timecode fPending;         // fPendingMutex
    std::unique_ptr<CMidiInPort> fPort;
};
