#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "Lib3/LSources/CoreData/CRecordRef.h"

class CCtlInHub;
class CRunLoopSignal;

// Lets DMX or MIDI select, step through and fade the scenes of a document's scene list, and
// mirrors DMX or MIDI controller levels into the list's mix levels (SCNS field 17). Configured
// from the document's scene-control assignment ('snct').
//
// Threads: the hub listeners (DMX and MIDI threads) only record a pending scene under the mutex
// and signal; Setup, Poll, Step and every record write run on the main thread.
class CSceneCtlIn {
public:
    enum Source : uint32_t { kNone = 0, kDmx = 1, kOsc = 2, kMidiCc = 3, kMidiNote = 4, kMidiProgram = 5 };
    enum Usage : uint32_t { kSelect = 0, kStep = 1, kTrigger = 2, kFade = 3, kMix = 4 };
    enum : int32_t { kNoScene = -1, kNext = -2, kPrevious = -3 };

    // The scene list is borrowed and must outlive this; the hub too (null: no input).
    CSceneCtlIn(CRecordRef scenes, CCtlInHub* hub);
    ~CSceneCtlIn();
    CSceneCtlIn(const CSceneCtlIn&) = delete;
    CSceneCtlIn& operator=(const CSceneCtlIn&) = delete;

    // From a control assignment (a YUND PRMS set; null: none).
    void Setup(CRecord* assignment);
    // The scene to recall (an index, kNext, kPrevious or kNoScene); updates the overrides.
    int32_t Poll(uint32_t sceneCount);
    // Recalls what Poll says and mirrors the mix levels.
    void Step();

    void OnDmx();
    void OnMidi(const uint8_t message[3]);

    float PositionOverride() const { return fPositionOverride; }
    float TimeOverride() const { return fTimeOverride; }
    int32_t PendingScene();
    uint32_t SignalCount() const { return fSignals.load(std::memory_order_relaxed); }

private:
    static void DmxProc(void* context);
    static void MidiProc(void* context, const uint8_t message[3]);
    static void SignalPerformed(void* context);
    void Raise();
    bool Rising(uint32_t channel, uint32_t controller, uint8_t value) const;
    int32_t PollDmx(uint32_t sceneCount);
    void MirrorLevels();

    CRecordRef fScenes;
    CCtlInHub* fHub;
    uint32_t fSource = kNone;
    uint32_t fUsage = kTrigger;
    uint32_t fChannel = 0;
    uint32_t fNumber = 0;
    int32_t fFadeChannel = -1;
    uint32_t fFadeNumber = 0;
    float fTimeMin = 0;
    float fTimeMax = 0;
    float fPositionOverride = -1.0f;
    float fTimeOverride = -1.0f;
    bool fModeFlag = false;
    bool fStepRewind = false;
    bool fStepBack = false;
    bool fStepSub = false;
    std::unique_ptr<CRunLoopSignal> fSignal;
    std::mutex fMutex;
    int32_t fPendingScene = kNoScene;
    float fPendingTime = -1.0f;
    uint8_t fSnapshot[512] = {};
    std::atomic<uint32_t> fSignals{0};
};
