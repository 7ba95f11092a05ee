#pragma once

#include <atomic>
#include <cstdint>

#include "Common/Posix/CPsxMutex.h"
#include "Lib3/LSources/CoreData/LAsyncLoop.h"
#include "Lib3/LSources/CoreData/LHandler.h"
#include "Orbilume/CSources/Timecode/TimecodeSourceGroup.h"

// Sent to the upper handler (the sequence player), sender the timer.
L_MESSAGE_ID(CSeqcTimer_Start);    // the transport is starting: answer with Run
L_MESSAGE_ID(CSeqcTimer_Stop);     // the transport stopped
L_MESSAGE_ID(CSeqcTimer_Loop);     // the end of the range looped back to its start: play again
L_MESSAGE_ID(CSeqcTimer_Time);     // a tick, every 33 ms while running (worker thread)
L_MESSAGE_ID(CSeqcTimer_Located);  // the position was set

// The millisecond clock a document's sequence plays against. It runs free on the worker loop or
// follows a timecode source (LTC, MTC, time of day, a media player), ticks every 33 ms, handles the
// end of the play range and stops the transport when its source falls silent.
//
// Threads: the setters, Play, Stop, Locate, Run and LocateNow are main-thread calls, and the stop,
// end and locate events reach the timer on the main thread, so every message but "CSeqcTimer_Time"
// is sent there. Ticks and the watchdog fire on the worker loop's thread, which sends
// "CSeqcTimer_Time". Source listeners run on the source's thread. Position may be read anywhere.
// Locks: the loop lock (transport changes, range, sync state, watchdog), then the timer's mutex
// (base position, clock reference, position, next tick). The sources are borrowed and outlive it.
class CSeqcTimer : public LHandler {
public:
    enum SyncSource : uint32_t { kInternal = 0, kLtc = 1, kMtc = 2, kTimeOfDay = 3, kMusicApp = 4 };
    enum Transport : uint32_t { kStopped = 0, kStarting = 1, kRunning = 2 };
    enum EndMode : uint32_t { kPlayOn = 0, kLoop = 1, kStopAndReturn = 2 };

    static constexpr uint32_t kTickMs = 33;
    static constexpr uint32_t kWatchdogMs = 2000;
    static constexpr uint32_t kMtcWatchdogMs = 200;
    static constexpr int32_t kTolerance = 1999;
    static constexpr int32_t kMaxPosition = 86399999;
    static constexpr int32_t kDayMs = 86400000;

    CSeqcTimer(LHandler* upper, LAsyncLoop* loop, const TimecodeSourceGroup& sources);
    ~CSeqcTimer() override;

    // Any thread. Never goes backwards except by a locate; at most kMaxPosition.
    int32_t Position();

    // Selecting the selected source does nothing; another one stops the transport and locks anew.
    void SetSyncSource(uint32_t source);
    uint32_t SyncSource() const { return fSyncSource.load(std::memory_order_acquire); }
    void SetRange(int32_t startMs, int32_t endMs);
    void SetEndMode(uint32_t mode) { fEndMode.store(mode, std::memory_order_release); }
    // External time of position 0.
    void SetOffset(uint32_t ms) { fOffset.store(ms, std::memory_order_release); }

    // Per source: the media player is moved there too; internal: the position is set; LTC, MTC and
    // the time of day decide the position themselves, so nothing happens.
    void Locate(int32_t ms);
    void Stop();
    void Play();
    // The answer to "CSeqcTimer_Start": the transport runs from now.
    void Run();
    // Stops, sets the position (clamped to 0..kMaxPosition) and sends "CSeqcTimer_Located".
    void LocateNow(int32_t ms);

    uint32_t TransportState() const { return fTransport.load(std::memory_order_acquire); }
    uint32_t SyncState();

    LMessage Handle(const LMessage& msg) override;

private:
    enum TransportEvent : uint32_t { kEventStop = 0, kEventStart = 1, kEventRun = 2 };
    enum SyncEvent : uint32_t {
        kTimecodeInTolerance = 0,
        kTimecodeJump = 1,
        kClockInTolerance = 2,
        kClockJump = 3,
        kWatchdogExpired = 4
    };

    void OnTransportEvent(uint32_t event);
    // Loop lock held.
    void ScheduleNextTick();
    void OnTick();
    void OnEndEvent();
    void OnLocateEvent();
    // Loop lock held.
    void OnSyncEvent(uint32_t event);
    void RestartWatchdog();

    static void Listener(void* context, TimecodeSource* source);
    void OnTimecode(TimecodeSource* source);
    TimecodeSource* SourceOf(uint32_t source) const;
    void RemoveListeners();

    CPsxMutex fMutex;
    int32_t fBasePosition = 0;  // fMutex
    uint32_t fClockRef = 0;     // fMutex
    LAsyncLoop* fLoop;
    TimecodeSourceGroup fSources;
    std::atomic<uint32_t> fSyncSource{kInternal};
    std::atomic<uint32_t> fTransport{kStopped};
    std::atomic<uint32_t> fEndMode{kPlayOn};
    int32_t fNextTick = 0;                   // fMutex
    int32_t fPosition = 0;                   // fMutex
    int32_t fRangeStart = 0;                 // loop lock
    int32_t fRangeEnd = 0;                   // loop lock
    uint32_t fWatchdogPeriod = kWatchdogMs;  // loop lock
    LAsyncTimer fTickTimer;
    LAsyncEvent fLocateEvent;
    LAsyncEvent fStopEvent;
    LAsyncEvent fEndEvent;
    uint32_t fSyncState = 0;        // loop lock
    int32_t fExternalPosition = 0;  // loop lock
    std::atomic<uint32_t> fOffset{0};
    int32_t fLocateTarget = 0;  // loop lock
    LAsyncTimer fWatchdog;
};
