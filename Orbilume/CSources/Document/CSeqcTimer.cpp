#include "Orbilume/CSources/Document/CSeqcTimer.h"

#include <algorithm>

#include "Platform/Foundation/Check.h"

namespace {

enum TransportAction : uint8_t { kNone, kAnnounce, kGo, kHalt };
enum SyncAction : uint8_t { kNoAction, kLocate, kFollow, kLost };

struct Step {
    uint8_t state;
    uint8_t action;
};

// [event][state]: events stop, start, run; states stopped, starting, running.
constexpr Step kTransportTable[3][3] = {
    {{0, kNone}, {0, kHalt}, {0, kHalt}},
    {{1, kAnnounce}, {1, kNone}, {2, kNone}},
    {{0, kNone}, {2, kGo}, {2, kNone}},
};

// [event][sync state]: state 0 unlocked, 1 one timecode seen, 2 locked with one jump seen, 3 locked.
constexpr Step kSyncTable[5][4] = {
    {{1, kNoAction}, {3, kLocate}, {3, kFollow}, {3, kFollow}},
    {{1, kNoAction}, {3, kLocate}, {3, kLocate}, {2, kNoAction}},
    {{3, kLocate}, {3, kLocate}, {3, kFollow}, {3, kFollow}},
    {{3, kLocate}, {3, kLocate}, {3, kLocate}, {3, kLocate}},
    {{0, kNoAction}, {0, kLost}, {0, kLost}, {0, kLost}},
};

int32_t ClampPosition(int64_t ms) {
    return int32_t(std::clamp<int64_t>(ms, 0, CSeqcTimer::kMaxPosition));
}

class LoopLocker {
public:
    explicit LoopLocker(LAsyncLoop* loop) : fLoop(loop) { loop->Lock(); }
    ~LoopLocker() { fLoop->Unlock(); }
    LoopLocker(const LoopLocker&) = delete;
    LoopLocker& operator=(const LoopLocker&) = delete;

private:
    LAsyncLoop* fLoop;
};

}  // namespace

CSeqcTimer::CSeqcTimer(LHandler* upper, LAsyncLoop* loop, const TimecodeSourceGroup& sources)
    : LHandler(upper),
      fClockRef(loop->Now()),
      fLoop(loop),
      fSources(sources),
      fTickTimer(this, loop),
      fLocateEvent(this, loop),
      fStopEvent(this, loop),
      fEndEvent(this, loop),
      fWatchdog(this, loop) {}

CSeqcTimer::~CSeqcTimer() {
    RemoveListeners();
    LoopLocker lock(fLoop);
    fTickTimer.Stop();
    fWatchdog.Stop();
}

int32_t CSeqcTimer::Position() {
    CPsxMutex::Locker lock(fMutex);
    if (TransportState() == kRunning) {
        int64_t p = int64_t(fBasePosition) + uint32_t(fLoop->Now() - fClockRef);
        if (p > fPosition) fPosition = ClampPosition(p);
    }
    return fPosition;
}

uint32_t CSeqcTimer::SyncState() {
    LoopLocker lock(fLoop);
    return fSyncState;
}

TimecodeSource* CSeqcTimer::SourceOf(uint32_t source) const {
    switch (source) {
        case kLtc:
            return fSources.ltc;
        case kMtc:
            return fSources.mtc;
        case kTimeOfDay:
            return fSources.clock;
        case kMusicApp:
            return fSources.music;
        default:
            return nullptr;
    }
}

void CSeqcTimer::RemoveListeners() {
    // Never under the loop lock: a source notifies under its own lock and then takes ours.
    for (uint32_t s = kLtc; s <= kMusicApp; ++s)
        if (TimecodeSource* source = SourceOf(s)) source->RemoveListener(this, &Listener);
}

void CSeqcTimer::SetSyncSource(uint32_t source) {
    PLAT_DCHECK_MAIN_THREAD();
    if (source > kMusicApp) source = kInternal;
    if (source == SyncSource()) return;
    OnTransportEvent(kEventStop);
    RemoveListeners();
    {
        LoopLocker lock(fLoop);
        fSyncSource.store(source, std::memory_order_release);
        fSyncState = 0;
        fWatchdogPeriod = source == kMtc ? kMtcWatchdogMs : kWatchdogMs;
        fWatchdog.Stop();
    }
    // A locate the old source asked for must not start the transport under the new one.
    fLocateEvent.Cancel();
    if (TimecodeSource* s = SourceOf(source)) s->AddListener(this, &Listener);
}

void CSeqcTimer::SetRange(int32_t startMs, int32_t endMs) {
    LoopLocker lock(fLoop);
    fRangeStart = startMs;
    fRangeEnd = endMs;
}

void CSeqcTimer::Locate(int32_t ms) {
    PLAT_DCHECK_MAIN_THREAD();
    ms = ClampPosition(ms);
    switch (SyncSource()) {
        case kMusicApp:
            Stop();
            if (fSources.music) {
                Timecode time;
                time.Init(30);
                int64_t target = std::max<int64_t>(0, int64_t(fOffset.load()) + ms);
                time.FromCount(uint32_t(std::min<int64_t>(target, UINT32_MAX)), 1000);
                fSources.music->Locate(time);
            }
            LocateNow(ms);
            break;
        case kInternal:
            LocateNow(ms);
            break;
        default:
            break;
    }
}

void CSeqcTimer::Stop() {
    PLAT_DCHECK_MAIN_THREAD();
    switch (SyncSource()) {
        case kMusicApp: {
            if (fSources.music) fSources.music->Pause();
            LoopLocker lock(fLoop);
            OnSyncEvent(kWatchdogExpired);
            break;
        }
        case kInternal:
            OnTransportEvent(kEventStop);
            break;
        default:
            break;
    }
}

void CSeqcTimer::Play() {
    PLAT_DCHECK_MAIN_THREAD();
    switch (SyncSource()) {
        case kMusicApp:
            if (fSources.music) fSources.music->Play();
            break;
        case kInternal:
            // Stale requests must not stop a new start; while running, a pending end or stop is
            // current, and without it the ticks would not be armed again.
            if (TransportState() != kRunning) {
                fStopEvent.Cancel();
                fEndEvent.Cancel();
            }
            OnTransportEvent(kEventStart);
            break;
        default:
            break;
    }
}

void CSeqcTimer::Run() {
    PLAT_DCHECK_MAIN_THREAD();
    OnTransportEvent(kEventRun);
}

void CSeqcTimer::LocateNow(int32_t ms) {
    PLAT_DCHECK_MAIN_THREAD();
    ms = ClampPosition(ms);
    OnTransportEvent(kEventStop);
    {
        CPsxMutex::Locker lock(fMutex);
        fBasePosition = ms;
        fPosition = ms;
        fNextTick = ms + int32_t(kTickMs);
    }
    Send(CSeqcTimer_Located);
}

void CSeqcTimer::OnTransportEvent(uint32_t event) {
    fLoop->Lock();
    const Step step = kTransportTable[event][TransportState()];
    switch (step.action) {
        case kNone:
            fTransport.store(step.state, std::memory_order_release);
            fLoop->Unlock();
            return;
        case kAnnounce:
            fTransport.store(step.state, std::memory_order_release);
            fLoop->Unlock();
            Send(CSeqcTimer_Start);
            return;
        case kGo: {
            {
                CPsxMutex::Locker lock(fMutex);
                fTransport.store(step.state, std::memory_order_release);
                fClockRef = fLoop->Now();
            }
            ScheduleNextTick();
            fLoop->Unlock();
            return;
        }
        case kHalt: {
            {
                // The position stands where the clock stopped, so the next start goes on from there.
                CPsxMutex::Locker lock(fMutex);
                fBasePosition = Position();
                fTransport.store(step.state, std::memory_order_release);
            }
            fTickTimer.Stop();
            fLoop->Unlock();
            Send(CSeqcTimer_Stop);
            return;
        }
    }
    fLoop->Unlock();
}

void CSeqcTimer::ScheduleNextTick() {
    const int32_t p = Position();
    // An empty or reversed range has no end to handle: stopping there would start it again at once.
    if (SyncSource() == kInternal && fEndMode.load(std::memory_order_acquire) != kPlayOn &&
        fRangeEnd > fRangeStart && p >= fRangeEnd) {
        fEndEvent.Post();
        return;
    }
    int32_t next;
    {
        CPsxMutex::Locker lock(fMutex);
        next = fNextTick;
    }
    if (next >= kDayMs) {
        fStopEvent.Post();
        return;
    }
    const int64_t delay = std::clamp<int64_t>(int64_t(next) - p, 1, kTickMs);
    if (fTickTimer.IsLinked() && int32_t(fTickTimer.Due() - fLoop->Now()) <= delay) return;
    fTickTimer.Start(uint32_t(delay));
}

void CSeqcTimer::OnTick() {
    if (TransportState() != kRunning) return;
    {
        CPsxMutex::Locker lock(fMutex);
        const uint32_t now = fLoop->Now();
        const int64_t base = int64_t(fBasePosition) + uint32_t(now - fClockRef);
        fBasePosition = int32_t(std::min<int64_t>(base, kDayMs));
        fClockRef = now;
        fNextTick = fBasePosition + int32_t(kTickMs);
    }
    ScheduleNextTick();
    Send(CSeqcTimer_Time);
}

void CSeqcTimer::OnEndEvent() {
    if (TransportState() != kRunning) return;
    OnTransportEvent(kEventStop);
    int32_t start;
    {
        LoopLocker lock(fLoop);
        start = fRangeStart;
    }
    LocateNow(start);
    if (fEndMode.load(std::memory_order_acquire) == kLoop) Send(CSeqcTimer_Loop);
}

void CSeqcTimer::OnLocateEvent() {
    if (SyncSource() == kInternal) return;
    int32_t target;
    {
        LoopLocker lock(fLoop);
        target = fLocateTarget;
    }
    LocateNow(target);
    OnTransportEvent(kEventStart);
}

void CSeqcTimer::Listener(void* context, TimecodeSource* source) {
    static_cast<CSeqcTimer*>(context)->OnTimecode(source);
}

void CSeqcTimer::OnTimecode(TimecodeSource* source) {
    const uint32_t selected = SyncSource();
    if (selected == kInternal || source != SourceOf(selected)) return;
    const Timecode time = source->GetTime();
    // Beyond a day (hours of 24 and more) or before the offset: the nearest position there is.
    const int32_t external = ClampPosition(int64_t(time.ToCount(1000)) - int64_t(fOffset.load()));
    LoopLocker lock(fLoop);
    if (SyncSource() != selected) return;
    fExternalPosition = external;
    const int64_t d = int64_t(external) - Position();
    const bool jump = d < -kTolerance || d > kTolerance;
    const uint32_t base = (selected == kLtc || selected == kMtc) ? kTimecodeInTolerance : kClockInTolerance;
    OnSyncEvent(base + (jump ? 1 : 0));
}

void CSeqcTimer::OnSyncEvent(uint32_t event) {
    const Step step = kSyncTable[event][fSyncState];
    fSyncState = step.state;
    switch (step.action) {
        case kLocate:
            fLocateTarget = fExternalPosition;
            fLocateEvent.Post();
            RestartWatchdog();
            break;
        case kFollow:
            if (TransportState() == kRunning) {
                CPsxMutex::Locker lock(fMutex);
                fBasePosition = fExternalPosition;
                fClockRef = fLoop->Now();
            }
            RestartWatchdog();
            break;
        case kLost:
            if (SyncSource() != kInternal) fStopEvent.Post();
            break;
        default:
            break;
    }
}

void CSeqcTimer::RestartWatchdog() {
    fWatchdog.Start(fWatchdogPeriod);
}

LMessage CSeqcTimer::Handle(const LMessage& msg) {
    if (msg.Is(LAsyncTimer_Expire)) {
        if (msg.sender == &fTickTimer) {
            LoopLocker lock(fLoop);
            OnTick();
        } else if (msg.sender == &fWatchdog) {
            LoopLocker lock(fLoop);
            if (SyncSource() != kInternal) OnSyncEvent(kWatchdogExpired);
        }
        return LMessage();
    }
    if (msg.Is(LAsyncEvent_Note)) {
        if (msg.sender == &fStopEvent)
            OnTransportEvent(kEventStop);
        else if (msg.sender == &fEndEvent)
            OnEndEvent();
        else if (msg.sender == &fLocateEvent)
            OnLocateEvent();
        return LMessage();
    }
    return LHandler::Handle(msg);
}
