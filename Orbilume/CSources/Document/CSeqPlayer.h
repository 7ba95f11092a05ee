#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreData/LAsyncLoop.h"
#include "Lib3/LSources/CoreData/LHandler.h"
#include "Orbilume/CSources/Document/CSeqcTimer.h"

class CDocModelHolder;
struct SRecordEvent;

// Plays the current scene list of a show against its sequence timer: every scene whose time
// ('extm') has passed is recalled in order through a recall request (SCNS field 8); under the
// internal clock a scene with a key ('ecky') is a stop point. The player reports its scene index,
// time and transport state in SCNS fields 11, 12 and 13 (no undo), and follows edits of the list.
//
// Main thread: every call, the scene pass (a posted event) and every model write. The timer's
// ticks arrive on the worker loop and only post the pass. The model holder and the sources are
// borrowed and outlive the player.
class CSeqPlayer : public LHandler {
public:
    enum Shown : uint8_t { kShownStopped = 0, kShownWaiting = 1, kShownRunning = 2 };

    CSeqPlayer(LAsyncLoop* loop, const TimecodeSourceGroup& sources, CDocModelHolder* model);
    ~CSeqPlayer() override;

    void Play();
    void Stop();
    // Internal clock only: stops at scene n's time (n limited to the last scene; 0 ms for an empty
    // list); the scene is recalled by the first pass after play starts.
    void LocateScene(uint32_t n);
    // Internal clock only: stops at t seconds and recalls the scene at or before it.
    void LocateTime(float seconds);
    void Resync(float seconds);
    void Reindex();

    CSeqcTimer& Timer() { return fTimer; }
    uint32_t Index() const { return fIndex; }
    float Time() const { return fTime; }
    bool IsPlaying() const { return fPlaying; }

    // Seconds to milliseconds, half away from zero; NaN and infinities give 0, huge values the
    // nearest int32.
    static int32_t SecondsToMs(float seconds);
    static float MsToSeconds(int32_t ms) { return float(ms * 0.001); }

    LMessage Handle(const LMessage& msg) override;

private:
    static void Observe(void* context, const SRecordEvent* event);
    void OnModelChange(const SRecordEvent& event);
    void ScenePass();
    void OnLocated();
    CRecordRef Scns() const;
    float PositionSeconds() { return MsToSeconds(fTimer.Position()); }
    void SetIndexField(uint32_t index);
    void SetTimeField(float seconds);
    void SetShownField(uint8_t state);

    CDocModelHolder* fModel;
    LAsyncEvent fPassEvent;
    CSeqcTimer fTimer;
    uint32_t fIndex = 0;
    float fTime = 0;
    bool fPlaying = false;
    bool fSkipKey = false;
};
