#pragma once

#include <atomic>
#include <complex>
#include <cstdint>
#include <mutex>

#include "Lib3/LSources/CoreData/LCallbackList.h"
#include "Orbilume/CSources/DmxIn/CDmxInMerge.h"
#include "Orbilume/CSources/Engine/CCtlInFft.h"
#include "Orbilume/CSources/Osc/OscListener.h"

class CCtlInSoundSource;
struct MidiInMessage;

// The one store of current control input: the 512 DMX input values after the threshold, the MIDI
// state of 16 channels and a 16-band level analysis of the sound input, with the listener lists
// (DMX, MIDI, OSC) through which bindings and scene controls learn of new input.
//
// Threads: DmxIn on the DMX merge's delivery thread, MidiIn on the MIDI thread, NotifyOsc on the
// main thread; the readers on any thread. DMX values and MIDI bytes are single relaxed atomics,
// read without a lock. The hub's mutex (recursive) guards the listener lists and the MIDI state
// updates; listeners run on the calling thread with it held, may remove themselves, and only record
// and signal: they never take an engine lock, so the mutex is never held while one is. Once a
// Remove call returns, that listener is not called again. Spectrum serialises through the sound
// source's lock.
class CCtlInHub : public OscListener {
public:
    static constexpr uint32_t kDmxSlots = 512;
    static constexpr uint32_t kMidiChannels = 16;
    static constexpr uint32_t kBands = 16;

    using DmxListener = void (*)(void* context);
    using MidiListener = void (*)(void* context, const uint8_t message[3]);
    using OscListenerProc = void (*)(void* context, OscPattern& pattern, const OscArg* args, uint32_t count);

    // The source may be null (no sound analysis: the levels stay 0). It must outlive the hub.
    explicit CCtlInHub(CCtlInSoundSource* sound = nullptr);
    ~CCtlInHub() override;
    CCtlInHub(const CCtlInHub&) = delete;
    CCtlInHub& operator=(const CCtlInHub&) = delete;

    // A DMX frame: byte 0 the start code, then the slots; length counts the start code. Slots 1 to
    // min(length, 513) - 1 become values 0 to n - 1 through the threshold; then the DMX listeners.
    void DmxIn(const uint8_t* frame, uint32_t length);
    // Status, data 1, data 2: the MIDI listeners, then the channel state, under the mutex. A data
    // byte of 0x80 or more changes no state.
    void MidiIn(const uint8_t message[3]);
    void MidiIn(const MidiInMessage& message);
    // Main thread only: every OSC listener with the message.
    void NotifyOsc(OscPattern& pattern, const OscArg* args, uint32_t count) override;

    // percent 0..100 (clamped): threshold = (percent * 255 + 50) / 100.
    void SetDmxThreshold(uint32_t percent);
    uint8_t DmxThreshold() const { return fThreshold.load(std::memory_order_relaxed); }
    // Releases every held note of every channel (controller values, last note and velocity stay).
    void ResetMidi();
    // The 16 band levels (0..1), analysed anew when the source flagged new samples.
    void Spectrum(float out[kBands]);

    bool AddDmxListener(DmxListener function, void* context);
    bool RemoveDmxListener(DmxListener function, void* context);
    bool AddMidiListener(MidiListener function, void* context);
    bool RemoveMidiListener(MidiListener function, void* context);
    bool AddOscListener(OscListenerProc function, void* context);
    bool RemoveOscListener(OscListenerProc function, void* context);

    // Readers, any thread, no lock. Out-of-range arguments read 0.
    uint8_t DmxValue(uint32_t slot) const;
    uint8_t MidiCc(uint32_t channel, uint32_t controller) const;
    // Bit 7 set while held, bits 0-6 the velocity of its last note-on.
    uint8_t MidiNote(uint32_t channel, uint32_t note) const;
    uint8_t MidiLastNote(uint32_t channel) const;
    uint8_t MidiLastVelocity(uint32_t channel) const;
    uint8_t MidiHeldCount(uint32_t channel) const;

    // A CDmxInMerge sink that hands the frame to the hub given as context.
    static void DmxSink(void* hub, const DmxInSource& source, const uint8_t* data, uint32_t count);
    // A MIDI callback that hands the message to the hub given as context.
    static void MidiProc(void* hub, const MidiInMessage* message);

    // The hub of the application (set by the application object; null before and after).
    static CCtlInHub* Global();
    static void SetGlobal(CCtlInHub* hub);

private:
    struct MidiChannelState {
        std::atomic<uint8_t> cc[128];
        std::atomic<uint8_t> notes[128];
        std::atomic<uint8_t> lastNote;
        std::atomic<uint8_t> lastVelocity;
        std::atomic<uint8_t> heldCount;
    };
    static uint8_t Rescale(uint8_t value, uint8_t stored, uint8_t threshold);
    void UpdateMidiState(const uint8_t message[3]);
    void Analyse();

    CCtlInSoundSource* fSound;
    std::atomic<uint8_t> fDmx[kDmxSlots];
    MidiChannelState fMidi[kMidiChannels];
    CCtlInFft fFft;
    // Analysis state, under the sound source's lock.
    std::complex<float> fBuffer[CCtlInFft::kSize];
    float fBandLevels[kBands] = {};
    std::atomic<uint8_t> fThreshold{0};
    std::recursive_mutex fMutex;
    LCallbackList fDmxListeners;
    LCallbackList fMidiListeners;
    LCallbackList fOscListeners;
};
