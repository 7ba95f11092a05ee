#pragma once

#include <atomic>
#include <cstdint>

#include "Common/Container/CPointerArray.h"
#include "Common/Posix/CPsxMutex.h"
#include "Lib3/LSources/CoreData/LHandler.h"
#include "Lib3/LSources/CoreData/LSLinkBase.h"

namespace plat {
class RunLoop;
}

class LAsyncSignal;
class LAsyncTimer;
class LAsyncEvent;
class LAsyncEventRelay;

// Sent on the loop's thread from a raised signal to its owner.
L_MESSAGE_ID(LAsyncSignal_X);
// Sent on the loop's thread from a due loop timer to its owner.
L_MESSAGE_ID(LAsyncTimer_Expire);
// Sent on the main thread from a posted event to its owner.
L_MESSAGE_ID(LAsyncEvent_Note);

// A loop on another thread that hands work between threads: signals raised anywhere reach their
// owner on the loop's thread, loop timers fire there, and events posted there reach their owner on
// the main thread. The base keeps the three lists; LAsyncWorkerLoop runs them on its own thread.
class LAsyncLoop {
public:
    LAsyncLoop();
    virtual ~LAsyncLoop();
    LAsyncLoop(const LAsyncLoop&) = delete;
    LAsyncLoop& operator=(const LAsyncLoop&) = delete;

    // Arms (or re-arms) a loop timer; any thread.
    virtual void StartTimer(LAsyncTimer* timer, uint32_t delayMs);
    // Makes the loop's thread look at its lists again.
    virtual void Wake() {}
    // An event was appended to the event list (loop lock held).
    virtual void EventPosted() {}
    virtual void RaiseSignal(LAsyncSignal* signal);
    virtual void DetachSignal(LAsyncSignal* signal);
    virtual void UnqueueSignal(LAsyncSignal* signal);
    // The loop lock, recursive: held by the loop's thread while it runs client code.
    virtual void Lock() {}
    virtual void Unlock() {}
    // The millisecond clock of the main-thread timers.
    virtual uint32_t Now();
    virtual plat::RunLoop* RunLoop() { return nullptr; }

    // Main thread: moves every posted event on to main-thread delivery.
    void DrainEvents();

protected:
    // Delivers the expiry of event relays on the main thread (no upper handler).
    class Hub : public LHandler {
    public:
        explicit Hub(LAsyncLoop* loop) : fLoop(loop) {}
        LMessage Handle(const LMessage& msg) override;

    private:
        LAsyncLoop* fLoop;
    };

    void InsertTimer(LAsyncTimer* timer, uint32_t now);
    // Loop thread, loop lock held: sends "LAsyncTimer_Expire" for every timer that is due.
    void FireDueTimers();
    // Seconds until the first loop timer is due (0 when overdue, about 24 days when none is armed).
    double SecondsToFirstTimer();

    LSLinkBase mTimers;   // by due time; loop lock
    LSLinkBase mEvents;   // in order of posting; loop lock
    // Loop thread: sends "LAsyncSignal_X" for each raised signal, in order of raising.
    void DeliverSignals();

    LSLinkBase mSignals;  // in order of raising; mSignalMutex
    CPsxMutex mSignalMutex;  // the signal list only, so raising never waits for client code
    // Relays of events destroyed off the main thread while armed there; freed on the main thread.
    CPointerArray<LAsyncEventRelay> mOrphans;  // loop lock
    Hub mHub;

    friend class LAsyncSignal;
    friend class LAsyncTimer;
    friend class LAsyncEvent;
    friend class LAsyncEventRelay;
};

// Raised from any thread; the loop's thread sends "LAsyncSignal_X" to the owner. Raises before the
// loop turns give one message; the flag is cleared before the message, so the owner may raise again.
class LAsyncSignal : public LHandler, public SSLink {
public:
    LAsyncSignal(LHandler* owner, LAsyncLoop* loop) : LHandler(owner), fLoop(loop) {}
    ~LAsyncSignal() override;

    void Raise() {
        uint32_t idle = 0;
        // Sequentially consistent with the clearing on the loop's thread, so a raise that finds the flag
        // still set is seen by the delivery that clears it.
        if (fQueued.compare_exchange_strong(idle, 1)) fLoop->RaiseSignal(this);
    }
    bool IsQueued() const { return fQueued.load() != 0; }

private:
    friend class LAsyncLoop;
    friend class LAsyncWorkerLoop;
    friend class LAsyncMainLoop;
    LAsyncLoop* fLoop;
    std::atomic<uint32_t> fQueued{0};
};

// A timer kept by the loop; "LAsyncTimer_Expire" reaches the owner on the loop's thread.
class LAsyncTimer : public LHandler, public SSLink {
public:
    LAsyncTimer(LHandler* owner, LAsyncLoop* loop) : LHandler(owner), fLoop(loop) {}
    ~LAsyncTimer() override;

    void Start(uint32_t delayMs) { fLoop->StartTimer(this, delayMs); }
    // Any thread; true when it was armed.
    bool Stop();
    uint32_t Due() const { return fDue; }

private:
    friend class LAsyncLoop;
    friend class LAsyncWorkerLoop;
    friend class LAsyncMainLoop;
    LAsyncLoop* fLoop;
    uint32_t fDue = 0;  // loop lock
};

// Posted on the loop's thread (or any thread); "LAsyncEvent_Note" reaches the owner on the main
// thread, once per posting. Events posted in one burst cost one main-thread wake-up.
class LAsyncEvent : public LHandler, public SSLink {
public:
    LAsyncEvent(LHandler* owner, LAsyncLoop* loop);
    ~LAsyncEvent() override;

    // Nothing when already posted or waiting for the main thread.
    void Post();
    // Any thread: no note for the postings so far (one already being delivered may still arrive).
    void Cancel();
    bool IsPending() const {
        uint32_t s = fState.load(std::memory_order_acquire);
        return s == kPosted || s == kWaiting;
    }
    // Moved to the main thread, not yet delivered.
    bool IsWaiting() const { return fState.load(std::memory_order_acquire) == kWaiting; }

private:
    friend class LAsyncLoop;
    enum : uint32_t { kIdle, kPosted, kWaiting, kCancelled };

    LAsyncLoop* fLoop;
    LAsyncEventRelay* fRelay;             // the main-thread timer that carries the note
    std::atomic<uint32_t> fState{kIdle};  // changed under the loop lock
};
