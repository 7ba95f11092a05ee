#include "Orbilume/CSources/Midi/MtcSource.h"

MtcSource::MtcSource(LAsyncLoop* loop)
    : TimecodeSource(loop), LHandler(nullptr), fSignal(this, loop), fPort(CMidiInPort::Create("MTC IN")) {}

MtcSource::~MtcSource() {
    if (fPort) fPort->Disconnect();
    fPort.reset();
}

void MtcSource::OnMidi(const MidiInMessage& message) {
    if (message.status != 0xF1 || message.run) return;
    Timecode time;
    if (!fFrames.Feed(message.data1, time)) return;
    {
        std::lock_guard<std::mutex> lock(fPendingMutex);
        fPending = time;
    }
    fSignal.Raise();
}

LMessage MtcSource::Handle(const LMessage& msg) {
    if (msg.Is(LAsyncSignal_X) && msg.sender == &fSignal) {
        OnSignal();
        return LMessage();
    }
    if (msg.Is(LHandler_Destructing)) return LMessage();
    return LHandler::Handle(msg);
}

void MtcSource::OnSignal() {
    Timecode time;
    {
        std::lock_guard<std::mutex> lock(fPendingMutex);
        time = fPending;
    }
    fLock->Lock();
    const bool changed = !time.Equals(TimeLocked());
    SetTimeLocked(time);
    fLock->Unlock();
    if (changed) Notify();
}
