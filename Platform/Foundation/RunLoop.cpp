#include "Platform/Foundation/RunLoop.h"

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <mutex>

#include "Platform/Foundation/Clock.h"

namespace plat {

namespace {

// One lock for every loop's item lists, timer dates and source flags: item calls from other threads
// then need no lock order, and callbacks always run without it.
std::mutex& Lock() {
    static std::mutex m;
    return m;
}

std::vector<RunLoop*>& AllLoops() {
    static std::vector<RunLoop*>* loops = new std::vector<RunLoop*>;
    return *loops;
}

std::atomic<RunLoop*> gMain{nullptr};

bool OnMainThread() {
    return syscall(SYS_gettid) == getpid();
}

// Releases the thread's loop when the thread ends.
struct ThreadLoop {
    RunLoop* loop = nullptr;
    ~ThreadLoop() {
        if (loop && loop != gMain.load()) loop->Release();
    }
};
thread_local ThreadLoop tLoop;

uint32_t EpollEvents(uint32_t events) {
    uint32_t e = 0;
    if (events & FdSource::kReadable) e |= EPOLLIN | EPOLLRDHUP;
    if (events & FdSource::kWritable) e |= EPOLLOUT;
    return e;
}

uint32_t ReadyEvents(uint32_t e) {
    uint32_t r = 0;
    if (e & (EPOLLIN | EPOLLPRI)) r |= FdSource::kReadable;
    if (e & EPOLLOUT) r |= FdSource::kWritable;
    if (e & (EPOLLHUP | EPOLLRDHUP)) r |= FdSource::kHangUp;
    if (e & EPOLLERR) r |= FdSource::kError;
    return r;
}

}  // namespace

// ---- items

bool RunLoopItem::IsValid() const {
    std::lock_guard<std::mutex> g(Lock());
    return fValid;
}

void RunLoopItem::Invalidate() {
    RunLoop* loop;
    {
        std::lock_guard<std::mutex> g(Lock());
        fValid = false;
        loop = fLoop;
        if (!loop) return;
        loop->Retain();
        for (size_t i = 0; i < loop->fEntries.size(); ++i) {
            if (loop->fEntries[i].item == this) {
                loop->Drop(i);
                break;
            }
        }
    }
    loop->WakeUp();
    loop->Release();
}

RunLoopSource* RunLoopSource::Create(Perform perform, void* info) {
    return new RunLoopSource(perform, info);
}

void RunLoopSource::Signal() {
    std::lock_guard<std::mutex> g(Lock());
    if (!fValid) return;
    fSignalled = true;
    if (fLoop) fLoop->WakeUp();
}

bool RunLoopSource::IsSignalled() const {
    std::lock_guard<std::mutex> g(Lock());
    return fSignalled;
}

RunLoopTimer* RunLoopTimer::Create(double fireDate, double interval, Callback callback, void* info) {
    return new RunLoopTimer(fireDate, interval < 0 ? 0 : interval, callback, info);
}

void RunLoopTimer::SetNextFireDate(double fireDate) {
    std::lock_guard<std::mutex> g(Lock());
    fFireDate = fireDate;
    ++fDateChanges;
    if (fLoop) fLoop->WakeUp();
}

double RunLoopTimer::NextFireDate() const {
    std::lock_guard<std::mutex> g(Lock());
    return fFireDate;
}

FdSource* FdSource::Create(int fd, uint32_t events, Callback callback, void* info) {
    return new FdSource(fd, events, callback, info);
}

void FdSource::SetEvents(uint32_t events) {
    std::lock_guard<std::mutex> g(Lock());
    fEvents = events;
    if (fLoop) fLoop->WakeUp();
}

// ---- loops

RunLoop::RunLoop() {
    fEpoll = epoll_create1(EPOLL_CLOEXEC);
    fWake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (fEpoll < 0 || fWake < 0) std::abort();  // out of descriptors: nothing can run
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.ptr = nullptr;
    epoll_ctl(fEpoll, EPOLL_CTL_ADD, fWake, &ev);
    std::lock_guard<std::mutex> g(Lock());
    AllLoops().push_back(this);
}

RunLoop::~RunLoop() {
    {
        std::lock_guard<std::mutex> g(Lock());
        auto& all = AllLoops();
        all.erase(std::remove(all.begin(), all.end(), this), all.end());
        for (Entry& e : fEntries) {
            e.item->fLoop = nullptr;
            e.item->fModes = 0;
            e.item->Release();
        }
        fEntries.clear();
    }
    for (Registered& r : fInEpoll) r.source->Release();
    close(fWake);
    close(fEpoll);
}

RunLoop* RunLoop::Make() {
    return new RunLoop();
}

RunLoop* RunLoop::Current() {
    if (tLoop.loop) return tLoop.loop;
    tLoop.loop = OnMainThread() ? Main() : Make();
    return tLoop.loop;
}

RunLoop* RunLoop::Main() {
    RunLoop* loop = gMain.load(std::memory_order_acquire);
    if (loop) return loop;
    RunLoop* made = Make();
    if (gMain.compare_exchange_strong(loop, made)) return made;
    made->Release();
    return loop;
}

bool RunLoop::IsMainThread() { return OnMainThread(); }

void RunLoop::WakeAll() {
    std::lock_guard<std::mutex> g(Lock());
    for (RunLoop* loop : AllLoops()) loop->WakeUp();
}

bool RunLoop::Add(RunLoopItem* item, Kind kind, uint32_t modes) {
    if (!item) return false;
    modes &= kRunLoopCommonModes;
    {
        std::lock_guard<std::mutex> g(Lock());
        if (!item->fValid || (item->fLoop && item->fLoop != this)) return false;
        if (!item->fLoop) {
            if (!modes) return true;
            item->Retain();
            item->fLoop = this;
            fEntries.push_back({item, kind});
        }
        item->fModes |= modes;
    }
    WakeUp();
    return true;
}

void RunLoop::Drop(size_t index) {
    RunLoopItem* item = fEntries[index].item;
    fEntries.erase(fEntries.begin() + index);
    item->fLoop = nullptr;
    item->fModes = 0;
    item->Release();
}

void RunLoop::Remove(RunLoopItem* item, uint32_t modes) {
    if (!item) return;
    {
        std::lock_guard<std::mutex> g(Lock());
        if (item->fLoop != this) return;
        item->fModes &= ~modes;
        if (item->fModes) return;
        for (size_t i = 0; i < fEntries.size(); ++i) {
            if (fEntries[i].item == item) {
                Drop(i);
                break;
            }
        }
    }
    WakeUp();
}

bool RunLoop::Contains(const RunLoopItem* item, uint32_t mode) const {
    std::lock_guard<std::mutex> g(Lock());
    return item && item->fLoop == this && (item->fModes & mode) == mode && mode != 0;
}

bool RunLoop::ModeEmpty(RunLoopMode mode) const {
    std::lock_guard<std::mutex> g(Lock());
    for (const Entry& e : fEntries)
        if (e.item->fModes & mode) return false;
    return true;
}

void RunLoop::Stop() {
    fStopped.store(true, std::memory_order_release);
    WakeUp();
}

void RunLoop::WakeUp() {
    uint64_t one = 1;
    ssize_t n = write(fWake, &one, sizeof one);
    (void)n;  // EAGAIN only when the counter is already full: the loop is woken anyway
}

void RunLoop::Drain() {
    uint64_t count;
    ssize_t n = read(fWake, &count, sizeof count);
    (void)n;
}

void RunLoop::Run() {
    for (;;) {
        RunLoopResult r = RunInMode(kRunLoopDefaultMode, 1e10, false);
        if (r == RunLoopResult::kStopped || r == RunLoopResult::kFinished) return;
    }
}

// Fires each timer of the mode whose date has come, at most once per call. True when one fired.
bool RunLoop::FireTimers(RunLoopMode mode) {
    double now = ClockNow();
    struct Due {
        double date;
        RunLoopTimer* timer;
    };
    std::vector<Due> due;
    {
        std::lock_guard<std::mutex> g(Lock());
        for (const Entry& e : fEntries) {
            if (e.kind != kTimer || !(e.item->fModes & mode)) continue;
            auto* t = static_cast<RunLoopTimer*>(e.item);
            if (t->fFireDate <= now) {
                t->Retain();
                due.push_back({t->fFireDate, t});
            }
        }
    }
    std::stable_sort(due.begin(), due.end(), [](const Due& a, const Due& b) { return a.date < b.date; });
    for (const Due& d : due) {
        RunLoopTimer* t = d.timer;
        uint32_t changes;
        double date;
        bool fire;
        {
            std::lock_guard<std::mutex> g(Lock());
            fire = t->fLoop == this && (t->fModes & mode) && t->fFireDate <= now;
            changes = t->fDateChanges;
            date = t->fFireDate;
        }
        if (fire && t->fCallback) t->fCallback(t, t->fInfo);
        bool invalidate = false;
        if (fire) {
            std::lock_guard<std::mutex> g(Lock());
            if (t->fDateChanges == changes && t->fValid) {
                if (t->fInterval > 0) {
                    double after = ClockNow();
                    double next = date + t->fInterval;
                    if (next <= after) next += std::ceil((after - next) / t->fInterval + 1e-9) * t->fInterval;
                    if (next <= after) next = after + t->fInterval;
                    t->fFireDate = next;
                } else {
                    invalidate = true;
                }
            }
        }
        if (invalidate) t->Invalidate();
        t->Release();
    }
    return !due.empty();
}

// Performs the signalled sources of the mode (only the first one when onlyOne). True when any ran.
bool RunLoop::PerformSources(RunLoopMode mode, bool onlyOne) {
    std::vector<RunLoopSource*> ready;
    {
        std::lock_guard<std::mutex> g(Lock());
        for (const Entry& e : fEntries) {
            if (e.kind != kSource || !(e.item->fModes & mode)) continue;
            auto* s = static_cast<RunLoopSource*>(e.item);
            if (!s->fSignalled) continue;
            s->fSignalled = false;
            s->Retain();
            ready.push_back(s);
            if (onlyOne) break;
        }
    }
    for (RunLoopSource* s : ready) {
        bool run;
        {
            std::lock_guard<std::mutex> g(Lock());
            run = s->fValid;
        }
        if (run && s->fPerform) s->fPerform(s->fInfo);
        s->Release();
    }
    return !ready.empty();
}

double RunLoop::NextTimerDate(RunLoopMode mode) const {
    double next = INFINITY;
    std::lock_guard<std::mutex> g(Lock());
    for (const Entry& e : fEntries) {
        if (e.kind != kTimer || !(e.item->fModes & mode)) continue;
        next = std::min(next, static_cast<RunLoopTimer*>(e.item)->fFireDate);
    }
    return next;
}

// Brings the epoll set in line with the descriptors that the mode watches.
void RunLoop::SyncDescriptors(RunLoopMode mode) {
    std::vector<Registered> want;
    {
        std::lock_guard<std::mutex> g(Lock());
        for (const Entry& e : fEntries) {
            if (e.kind != kFd || !(e.item->fModes & mode)) continue;
            auto* s = static_cast<FdSource*>(e.item);
            if (s->fEvents) want.push_back({s, s->fEvents});
        }
    }
    for (size_t i = 0; i < fInEpoll.size();) {
        Registered& r = fInEpoll[i];
        auto it =
            std::find_if(want.begin(), want.end(), [&](const Registered& w) { return w.source == r.source; });
        if (it != want.end() && it->events == r.events) {
            want.erase(it);
            ++i;
            continue;
        }
        epoll_ctl(fEpoll, EPOLL_CTL_DEL, r.source->fFd, nullptr);  // EBADF when closed already: fine
        r.source->Release();
        fInEpoll.erase(fInEpoll.begin() + i);
    }
    for (const Registered& w : want) {
        epoll_event ev{};
        ev.events = EpollEvents(w.events);
        ev.data.ptr = w.source;
        if (epoll_ctl(fEpoll, EPOLL_CTL_ADD, w.source->fFd, &ev) != 0 &&
            (errno != EEXIST || epoll_ctl(fEpoll, EPOLL_CTL_MOD, w.source->fFd, &ev) != 0))
            continue;
        w.source->Retain();
        fInEpoll.push_back(w);
    }
}

// Waits up to seconds for a wake-up or a ready descriptor and dispatches the descriptors.
// True when a descriptor callback ran.
bool RunLoop::WaitAndDispatch(RunLoopMode mode, double seconds, bool onlyOne) {
    SyncDescriptors(mode);
    int ms = 0;
    if (seconds > 0) {
        double m = std::ceil(seconds * 1000.0);
        ms = m >= double(INT_MAX) ? INT_MAX : int(m);
    }
    epoll_event events[16];
    fWaiting.store(true, std::memory_order_release);
    int n = epoll_wait(fEpoll, events, 16, ms);
    fWaiting.store(false, std::memory_order_release);
    bool handled = false;
    for (int i = 0; i < n; ++i) {
        auto* s = static_cast<FdSource*>(events[i].data.ptr);
        if (!s) {
            Drain();
            continue;
        }
        if (handled && onlyOne) continue;  // level-triggered: reported again next time
        bool run;
        {
            std::lock_guard<std::mutex> g(Lock());
            run = s->fLoop == this && (s->fModes & mode) && s->fEvents;
        }
        if (!run) continue;
        s->Retain();
        if (s->fCallback) s->fCallback(s, s->fFd, ReadyEvents(events[i].events), s->fInfo);
        s->Release();
        handled = true;
    }
    return handled;
}

RunLoopResult RunLoop::RunInMode(RunLoopMode mode, double seconds, bool returnAfterSourceHandled) {
    if (fStopped.exchange(false, std::memory_order_acq_rel)) return RunLoopResult::kStopped;
    if (mode == kRunLoopNoMode || (mode & (mode - 1)) != 0) return RunLoopResult::kFinished;
    if (ModeEmpty(mode)) return RunLoopResult::kFinished;

    double deadline = ClockNow() + (seconds > 0 ? seconds : 0);
    uint32_t outer = fMode.exchange(mode, std::memory_order_acq_rel);
    RunLoopResult result;
    for (;;) {
        FireTimers(mode);
        if (PerformSources(mode, returnAfterSourceHandled) && returnAfterSourceHandled) {
            result = RunLoopResult::kHandledSource;
            break;
        }
        if (fStopped.exchange(false, std::memory_order_acq_rel)) {
            result = RunLoopResult::kStopped;
            break;
        }
        if (ModeEmpty(mode)) {
            result = RunLoopResult::kFinished;
            break;
        }
        double now = ClockNow();
        if (now >= deadline && seconds > 0) {
            result = RunLoopResult::kTimedOut;
            break;
        }
        double until = std::min(deadline, NextTimerDate(mode));
        if (WaitAndDispatch(mode, until - now, returnAfterSourceHandled) && returnAfterSourceHandled) {
            result = RunLoopResult::kHandledSource;
            break;
        }
        if (seconds <= 0) {
            // A poll: one more look at timers and sources that the wait may have made ready.
            FireTimers(mode);
            result = PerformSources(mode, returnAfterSourceHandled) && returnAfterSourceHandled
                         ? RunLoopResult::kHandledSource
                         : RunLoopResult::kTimedOut;
            break;
        }
    }
    fMode.store(outer, std::memory_order_release);
    return result;
}

}  // namespace plat
