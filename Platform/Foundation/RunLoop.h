#pragma once

#include <atomic>
#include <cstdint>
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

// Common part of everything a run loop holds. An item lives in at most one loop at a time.
class RunLoopItem : public Object {
public:
    bool IsValid() const;
    // Removes the item from its loop for good; the loop releases its reference.
    void Invalidate();

protected:
    RunLoopItem() = default;

    friend class RunLoop;
    RunLoop* fLoop = nullptr;  // all fields guarded by the run-loop lock
    uint32_t fModes = 0;
    bool fValid = true;
};

// A source that carries no data: signalling it (from any thread) makes its loop call perform once,
// however many signals arrived before the loop turned.
class RunLoopSource : public RunLoopItem {
public:
    using Perform = void (*)(void* info);
    static RunLoopSource* Create(Perform perform, void* info);

    // Marks the source and wakes the loop it is in.
    void Signal();
    bool IsSignalled() const;

private:
    RunLoopSource(Perform perform, void* info) : fPerform(perform), fInfo(info) {}
    friend class RunLoop;
    Perform fPerform;
    void* fInfo;
    bool fSignalled = false;
};

// A timer on the run-loop clock (seconds, see Clock.h). interval 0 makes a one-shot timer that is
// invalidated after it fired; otherwise missed firings are skipped, not caught up.
class RunLoopTimer : public RunLoopItem {
public:
    using Callback = void (*)(RunLoopTimer* timer, void* info);
    static RunLoopTimer* Create(double fireDate, double interval, Callback callback, void* info);

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
    double fFireDate;
    uint32_t fDateChanges = 0;
};

// Readiness of a file descriptor (level-triggered). The descriptor stays the caller's to close;
// invalidate the source before closing it.
class FdSource : public RunLoopItem {
public:
    enum : uint32_t { kReadable = 1, kWritable = 2, kHangUp = 4, kError = 8 };
    using Callback = void (*)(FdSource* source, int fd, uint32_t ready, void* info);
    static FdSource* Create(int fd, uint32_t events, Callback callback, void* info);

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
    uint32_t fEvents;
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
    bool AddSource(RunLoopSource* source, uint32_t modes) { return Add(source, kSource, modes); }
    bool AddTimer(RunLoopTimer* timer, uint32_t modes) { return Add(timer, kTimer, modes); }
    bool AddFdSource(FdSource* source, uint32_t modes) { return Add(source, kFd, modes); }
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
        RunLoopItem* item;
        Kind kind;
    };
    struct Registered {
        FdSource* source;
        uint32_t events;
    };

    RunLoop();
    ~RunLoop() override;
    static RunLoop* Make();

    bool Add(RunLoopItem* item, Kind kind, uint32_t modes);
    void Drop(size_t index);  // lock held
    bool ModeEmpty(RunLoopMode mode) const;
    bool FireTimers(RunLoopMode mode);
    bool PerformSources(RunLoopMode mode, bool onlyOne);
    double NextTimerDate(RunLoopMode mode) const;
    void SyncDescriptors(RunLoopMode mode);
    bool WaitAndDispatch(RunLoopMode mode, double seconds, bool onlyOne);
    void Drain();

    friend class RunLoopItem;
    friend class RunLoopSource;
    friend class RunLoopTimer;
    friend class FdSource;

    std::vector<Entry> fEntries;       // guarded by the run-loop lock
    std::vector<Registered> fInEpoll;  // loop thread only; each source retained
    std::atomic<uint32_t> fMode{kRunLoopNoMode};
    std::atomic<bool> fStopped{false};
    std::atomic<bool> fWaiting{false};
    int fEpoll = -1;
    int fWake = -1;
};

}  // namespace plat
