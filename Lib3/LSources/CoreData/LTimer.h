#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/LHandler.h"
#include "Lib3/LSources/CoreData/LSLinkBase.h"

// Sent from an expired timer to its upper handler by the main loop's idle pass.
L_MESSAGE_ID(LTimer_Expire);

// Main-thread timer. Its mode decides whether it may fire while a modal handler runs, while a window
// of another owner is in front, or while the application is inactive; a due timer that may not fire
// is held back and fires first once it may. Main thread only: the lists take no lock.
//
// Modes: 0 always; 1, 5 and 8+ not behind a front window of another owner, not under a modal handler
// it does not belong to; 4 like 1 but fires under any modal handler; 2, 6 only while active; 3, 7
// like 1 and only while active.
class LTimer : public LHandler, public SSLink {
public:
    static constexpr uint32_t kForever = 2147483647;

    explicit LTimer(LHandler* upper) : LHandler(upper) {}
    ~LTimer() override;

    void StartOnce(uint32_t delayMs, uint32_t mode);
    void StartRepeat(uint32_t periodMs);
    void Stop();
    bool IsRunning() const { return IsLinked(); }

    uint32_t Mode() const { return fMode; }
    uint32_t Due() const { return fDue; }
    uint32_t Period() const { return fPeriod; }

    // Whether the timer is held back with modal handler M, front owner F and active flag A.
    bool IsBlocked(const LHandler* modal, const LHandler* front, bool active) const;

    // The next "LTimer_Expire" to deliver at `now`, or an empty message.
    static LMessage NextExpired(uint32_t now, const LHandler* modal, const LHandler* front, bool active);
    // Milliseconds the loop may sleep: 0 when a held timer may fire, kForever when nothing is armed.
    static uint32_t TimeToNext(const LHandler* modal, const LHandler* front, bool active);

    // The millisecond clock: the low 32 bits of GetEventTimeMs.
    static uint32_t Now();

    // Called after every start so the main loop can re-arm its idle timer for the new due time.
    using RearmHook = void (*)(void* context);
    static void SetRearmHook(RearmHook hook, void* context);
    // Runs the hook; also for changes that may release held timers (a modal window going away).
    static void RequestRearm();

private:
    void Unlink();
    void Arm(uint32_t now);
    void Rearm();

    uint32_t fMode = 0;
    uint32_t fDue = 0;
    uint32_t fPeriod = 0;
};

// Sleeps until ms after the call; returns at once when that moment has passed.
void MillisecondWait(uint32_t ms);
