#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "Platform/Foundation/Object.h"

namespace plat {

// Modes are bits. An item added in kRunLoopCommonModes belongs to every common mode.
enum RunLoopMode : uint32_t {
    kRunLoopNoMode = 0,
    kRunLoopDefaultMode = 1u << 0,
    kEventTrackingRunLoopMode = 1u << 1,
    kModalPanelRunLoopMode = 1u << 2,
    kRunLoopCommonModes = kRunLoopDefaultMode | kEventTrackingRunLoopMode | kModalPanelRunLoopMode,
};

enum class RunLoopResult {
    kFinished,       // the mode has no sources, timers or descriptors
    kStopped,        // Stop was called (also before the run began)
    kTimedOut,       // the time given ran out
    kHandledSource,  // one source or descriptor was handled and the caller asked to return then
};

class RunLoop;
class RunLoopWaker;

// Common part of everything a run loop holds. An item lives in at most one loop at a time.
class RunLoopItem : public Object {
public:
    bool IsValid() const;
    // Removes the item from its loop for good; the loop releases its reference.
    void Invalidate();

protected:
    RunLoopItem() = default;

    friend class RunLoop;
    // Taken before the lock of the item's loop. Holds the loop alive for whoever holds it while
    // fLoop names it: the loop detaches its items under their locks as it goes.
    mutable std::mutex fItemLock;
    std::atomic<RunLoop*> fLoop{nullptr};  // changed under the item lock and the loop's lock
    std::atomic<uint32_t> fModes{0};       // the same
    std::atomic<bool> fValid{true};
};

// A source that carries no data: signalling it (from any thread) makes its loop call perform once,
// however many signals arrived before the loop turned.
class RunLoopSource : public RunLoopItem {
public:
    using Perform = void (*)(void* info);
    static Ref<RunLoopSource> Create(Perform perform, void* info);

    // Marks the source and wakes the loop it is in.
    void Signal();
    bool IsSignalled() const;

private:
    RunLoopSource(Perform perform, void* info) : fPerform(perform), fInfo(info) {}
    friend class RunLoop;
    Perform fPerform;
    void* fInfo;
    std::atomic<bool> fSignalled{false};
};

// A timer on the run-loop clock (seconds, see Clock.h). interval 0 makes a one-shot timer that is
// invalidated after it fired; otherwise missed firings are skipped, not caught up.
class RunLoopTimer : public RunLoopItem {
public:
    using Callback = void (*)(RunLoopTimer* timer, void* info);
    static Ref<RunLoopTimer> Create(double fireDate, double interval, Callback callback, void* info);

    // Any thread; wakes the timer's loop so that it waits for the new date. A date set from inside
    // the callback replaces the automatic re-arm.
    void SetNextFireDate(double fireDate);
    double NextFireDate() const;
    double Interval() const { return fInterval; }

private:
    RunLoopTimer(double fireDate, double interval, Callback callback, void* info)
        : fCallback(callback), fInfo(info), fInterval(interval), fFireDate(fireDate) {}
    friend class RunLoop;
    Callback fCallback;
    void* fInfo;
    double fInterval;
    std::atomic<double> fFireDate;          // changed under the item lock
    std::atomic<uint32_t> fDateChanges{0};  // the same
};

// Readiness of a file descriptor (level-triggered). The descriptor stays the caller's to close;
// invalidate the source before closing it.
class FdSource : public RunLoopItem {
public:
    enum : uint32_t { kReadable = 1, kWritable = 2, kHangUp = 4, kError = 8 };
    using Callback = void (*)(FdSource* source, int fd, uint32_t ready, void* info);
    static Ref<FdSource> Create(int fd, uint32_t events, Callback callback, void* info);

    int Fd() const { return fFd; }
    // Any thread: the events to watch (kReadable, kWritable); 0 pauses the source.
    void SetEvents(uint32_t events);

private:
    FdSource(int fd, uint32_t events, Callback callback, void* info)
        : fCallback(callback), fInfo(info), fFd(fd), fEvents(events) {}
    friend class RunLoop;
    Callback fCallback;
    void* fInfo;
    int fFd;
    std::atomic<uint32_t> fEvents;  // changed under the item lock (and the loop's, while in one)
};

// One loop per thread, created on first use. Items are added from any thread; the loop retains
// them until they are removed from every mode or invalidated. Callbacks run on the loop's thread
// with no lock held.
class RunLoop : public Object {
public:
    // The calling thread's loop; the thread owns it (do not release). Retain it to keep it past the
    // thread's end.
    static RunLoop* Current();
    // The main thread's loop, created on first use from any thread and kept for the process.
    static RunLoop* Main();
    // Wakes every loop (used when the clock moves).
    static void WakeAll();
    static bool IsMainThread();

    // False when the item is invalid or belongs to another loop.
    [[nodiscard]] bool AddSource(RunLoopSource* source, uint32_t modes) {
        return Add(source, kSource, modes);
    }
    [[nodiscard]] bool AddTimer(RunLoopTimer* timer, uint32_t modes) { return Add(timer, kTimer, modes); }
    [[nodiscard]] bool AddFdSource(FdSource* source, uint32_t modes) { return Add(source, kFd, modes); }
    void Remove(RunLoopItem* item, uint32_t modes);
    bool Contains(const RunLoopItem* item, uint32_t mode) const;

    // Runs in the default mode until stopped or until the mode is empty.
    void Run();
    // Runs in one mode (not kRunLoopCommonModes) for at most seconds; seconds 0 polls once.
    RunLoopResult RunInMode(RunLoopMode mode, double seconds, bool returnAfterSourceHandled);
    // Any thread: ends the innermost run. A stop issued while the loop is not running ends the next
    // run at once.
    void Stop();
    // Any thread: makes a waiting loop look again at its timers, sources and stop flag.
    void WakeUp();

    // The mode of the innermost run, kRunLoopNoMode while not running. Any thread.
    RunLoopMode CurrentMode() const { return RunLoopMode(fMode.load(std::memory_order_acquire)); }
    bool IsWaiting() const { return fWaiting.load(std::memory_order_acquire); }

private:
    enum Kind { kSource, kTimer, kFd };
    struct Entry {
        Ref<RunLoopItem> item;
        Kind kind;
    };
    struct Registered {
        Ref<FdSource> source;
        uint32_t events;
    };
    struct Due {
        double date;
        Ref<RunLoopTimer> timer;
    };
    // What one run (one nesting level) collected in a turn; kept to be reused by later turns.
    struct Turn {
        std::vector<Due> due;
        std::vector<Ref<RunLoopSource>> ready;
    };
    struct Look {
        bool empty;
        double nextTimer;  // of the timers not collected
        bool sourcesTaken;
    };
    RunLoop();
    ~RunLoop() override;
    static RunLoop* Make();

    bool Add(RunLoopItem* item, Kind kind, uint32_t modes);
    size_t Find(const RunLoopItem* item) const;  // lock held
    // Lock held; hands back the loop's reference, for the caller to drop after letting go of the locks.
    [[nodiscard]] Ref<RunLoopItem> Erase(size_t index);
    // The waker of the item's loop when the caller has to write it (item lock held), else null.
    static Ref<RunLoopWaker> ClaimWake(const RunLoopItem* item);
    static void Wake(Ref<RunLoopWaker> waker);  // writes and drops it; null does nothing
    // Takes the due timers and, when none is due, the signalled sources.
    Look Collect(RunLoopMode mode, double now, bool onlyOne, Turn& turn);
    void TakeSources(RunLoopMode mode, bool onlyOne, Turn& turn);
    Look Inspect(RunLoopMode mode) const;
    void FireTimers(RunLoopMode mode, double now, Turn& turn);
    bool PerformSources(Turn& turn);
    void SyncDescriptors(RunLoopMode mode);
    // epoch: the waker's, read before the state that made the caller decide to wait.
    bool WaitAndDispatch(RunLoopMode mode, double seconds, bool onlyOne, uint32_t epoch);
    void Drain();

    friend class RunLoopItem;
    friend class RunLoopSource;
    friend class RunLoopTimer;
    friend class FdSource;

    mutable std::mutex fLock;             // this loop's entries and the modes of its items
    std::vector<Entry> fEntries;          // fLock
    std::atomic<uint32_t> fFdChanges{0};  // bumped under fLock when descriptor sources change
    // Loop thread only.
    std::vector<Registered> fInEpoll;
    std::vector<Registered> fWant;
    uint32_t fSyncedChanges = 0;
    RunLoopMode fSyncedMode = kRunLoopNoMode;
    std::vector<std::unique_ptr<Turn>> fTurns;  // one per nesting level
    size_t fDepth = 0;

    std::atomic<uint32_t> fMode{kRunLoopNoMode};
    std::atomic<bool> fStopped{false};
    std::atomic<bool> fWaiting{false};
    Ref<RunLoopWaker> fWaker;
    int fEpoll = -1;
};

}  // namespace plat
