#include "Lib3/LSources/CoreData/LAsyncLoop.h"

#include "Lib3/LSources/CoreData/LTimer.h"
#include "Platform/Foundation/Check.h"
#include "Platform/Foundation/RunLoop.h"

// The main-thread timer of an event. It outlives its event when the event is destroyed off the main
// thread while the timer is armed there: the main thread then frees it.
class LAsyncEventRelay : public LTimer {
public:
    LAsyncEventRelay(LHandler* hub, LAsyncEvent* event) : LTimer(hub), fEvent(event) {}

    LAsyncEvent* fEvent;  // null once orphaned; loop lock
    bool fArmed = false;  // in the main-thread timer lists; loop lock
};

namespace {
int32_t Diff(uint32_t a, uint32_t b) {
    return int32_t(a - b);
}
}  // namespace

LAsyncLoop::LAsyncLoop() : mHub(this) {}

LAsyncLoop::~LAsyncLoop() {
    // Main thread: the orphans may still sit in the timer lists.
    for (uint32_t i = mOrphans.Count(); i-- > 0;) mOrphans.Delete(i);
    mTimers.RemoveAll();
    mEvents.RemoveAll();
    mSignals.RemoveAll();
}

uint32_t LAsyncLoop::Now() {
    return LTimer::Now();
}

// After the last timer whose (due - now) is not greater than this one's: equal dues fire in start order.
void LAsyncLoop::InsertTimer(LAsyncTimer* timer, uint32_t now) {
    int32_t mine = Diff(timer->fDue, now);
    SSLink* after = nullptr;
    for (SSLink* n = mTimers.First(); !n->IsEnd(); n = n->next) {
        if (Diff(static_cast<LAsyncTimer*>(n)->fDue, now) > mine) break;
        after = n;
    }
    mTimers.InsertAfter(timer, after);
}

void LAsyncLoop::FireDueTimers() {
    uint32_t now = Now();
    while (!mTimers.IsEmpty()) {
        auto* t = static_cast<LAsyncTimer*>(mTimers.First());
        if (Diff(t->fDue, now) > 0) return;
        mTimers.RemoveFirst();
        LHandler::Dispatch(LMessage(LAsyncTimer_Expire, t, t->Upper()));
    }
}

double LAsyncLoop::SecondsToFirstTimer() {
    if (mTimers.IsEmpty()) return 2147483647 * 0.001;
    int32_t left = Diff(static_cast<LAsyncTimer*>(mTimers.First())->fDue, Now());
    return left > 0 ? left * 0.001 : 0.0;
}

void LAsyncLoop::StartTimer(LAsyncTimer* timer, uint32_t delayMs) {
    Lock();
    mTimers.Remove(timer);
    uint32_t now = Now();
    timer->fDue = now + delayMs;
    InsertTimer(timer, now);
    bool first = mTimers.First() == timer;
    Unlock();
    if (first) Wake();
}

void LAsyncLoop::RaiseSignal(LAsyncSignal* signal) {
    mSignalMutex.Lock();
    mSignals.Append(signal);
    mSignalMutex.Unlock();
    Wake();
}

void LAsyncLoop::DetachSignal(LAsyncSignal* signal) {
    Lock();
    UnqueueSignal(signal);
    Unlock();
}

void LAsyncLoop::UnqueueSignal(LAsyncSignal* signal) {
    mSignalMutex.Lock();
    mSignals.Remove(signal);
    signal->fQueued.store(0);
    mSignalMutex.Unlock();
}

void LAsyncLoop::DeliverSignals() {
    for (;;) {
        mSignalMutex.Lock();
        auto* s = static_cast<LAsyncSignal*>(mSignals.RemoveFirst());
        // Cleared before the message, so the owner may raise it again from its handler.
        if (s) s->fQueued.store(0);
        mSignalMutex.Unlock();
        if (!s) return;
        LHandler::Dispatch(LMessage(LAsyncSignal_X, s, s->Upper()));
    }
}

void LAsyncLoop::DrainEvents() {
    PLAT_DCHECK_MAIN_THREAD();
    Lock();
    while (SSLink* n = mEvents.RemoveFirst()) {
        auto* e = static_cast<LAsyncEvent*>(n);
        e->fState.store(LAsyncEvent::kWaiting, std::memory_order_release);
        e->fRelay->StartOnce(0, 0);
        e->fRelay->fArmed = true;
    }
    Unlock();
}

LMessage LAsyncLoop::Hub::Handle(const LMessage& msg) {
    if (!msg.Is(LTimer_Expire)) return LHandler::Handle(msg);
    auto* relay = static_cast<LAsyncEventRelay*>(msg.sender);
    LMessage note;
    fLoop->Lock();
    relay->fArmed = false;
    LAsyncEvent* e = relay->fEvent;
    if (!e) {
        uint32_t i = fLoop->mOrphans.IndexOf(relay);
        if (i != fLoop->mOrphans.kNotFound) fLoop->mOrphans.Delete(i);
    } else {
        uint32_t state = LAsyncEvent::kWaiting;
        if (e->fState.compare_exchange_strong(state, LAsyncEvent::kIdle)) {
            note = LMessage(LAsyncEvent_Note, e, e->Upper());
        } else if (state == LAsyncEvent::kCancelled) {
            e->fState.store(LAsyncEvent::kIdle, std::memory_order_release);
        }
    }
    fLoop->Unlock();
    return note;
}

LAsyncSignal::~LAsyncSignal() {
    fLoop->DetachSignal(this);
}

LAsyncTimer::~LAsyncTimer() {
    Stop();
}

bool LAsyncTimer::Stop() {
    fLoop->Lock();
    bool armed = fLoop->mTimers.Remove(this);
    fLoop->Unlock();
    return armed;
}

LAsyncEvent::LAsyncEvent(LHandler* owner, LAsyncLoop* loop)
    : LHandler(owner), fLoop(loop), fRelay(new LAsyncEventRelay(&loop->mHub, this)) {}

LAsyncEvent::~LAsyncEvent() {
    fLoop->Lock();
    fLoop->mEvents.Remove(this);
    LAsyncEventRelay* relay = fRelay;
    bool orphan = relay->fArmed && !plat::RunLoop::IsMainThread();
    if (orphan) {
        // The timer lists belong to the main thread: it frees the relay when the relay expires.
        relay->fEvent = nullptr;
        fLoop->mOrphans.Append(relay);
    }
    fLoop->Unlock();
    if (!orphan) delete relay;  // on the main thread, or not armed: no list holds it
}

void LAsyncEvent::Post() {
    fLoop->Lock();
    uint32_t s = fState.load(std::memory_order_acquire);
    bool posted = s == kIdle || s == kCancelled;
    if (posted) {
        fLoop->mEvents.Append(this);
        fState.store(kPosted, std::memory_order_release);
        fLoop->EventPosted();
    }
    fLoop->Unlock();
}

void LAsyncEvent::Cancel() {
    fLoop->Lock();
    uint32_t s = fState.load(std::memory_order_acquire);
    if (s == kPosted) {
        fLoop->mEvents.Remove(this);
        fState.store(kIdle, std::memory_order_release);
    } else if (s == kWaiting) {
        if (plat::RunLoop::IsMainThread()) {
            fRelay->Stop();
            fRelay->fArmed = false;
            fState.store(kIdle, std::memory_order_release);
        } else {
            // The relay's expiry on the main thread drops it.
            fState.store(kCancelled, std::memory_order_release);
        }
    }
    fLoop->Unlock();
}
