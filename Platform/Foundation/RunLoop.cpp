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
#include <vector>

#include "Platform/Foundation/Clock.h"

namespace plat {

// A loop's wake-up descriptor, counted apart from the loop so that a thread that found the loop
// under an item's lock may still write it after letting go of every lock. The pending flag stands
// while the loop is awake or a write is on its way, so there is at most one write per sleep: the
// loop clears it just before it sleeps and then checks the epoch, which every claim advances.
class RunLoopWaker : public Object {
public:
    RunLoopWaker() : fFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

    int Fd() const { return fFd; }
    uint32_t Epoch() const { return fEpoch.load(); }
    // Notes a change for the loop; true when the caller has to write: the loop may be asleep.
    bool Claim() {
        fEpoch.fetch_add(1);
        return !fPending.exchange(true);
    }
    void Write() const {
        uint64_t one = 1;
        ssize_t n = write(fFd, &one, sizeof one);
        (void)n;  // EAGAIN only when the counter is already full: the loop is woken anyway
    }
    // Before sleeping: false when a change came after the loop read epoch, so it must not sleep.
    bool MaySleep(uint32_t epoch) {
        fPending.store(false);
        return fEpoch.load() == epoch;
    }
    void Awake() { fPending.store(true); }
    void Drain() const {
        uint64_t count;
        ssize_t n = read(fFd, &count, sizeof count);
        (void)n;
    }

private:
    ~RunLoopWaker() override {
        if (fFd >= 0) close(fFd);
    }

    int fFd;
    std::atomic<uint32_t> fEpoch{0};
    std::atomic<bool> fPending{false};
};

namespace {

// Every loop's waker, for WakeAll.
struct WakerList {
    std::mutex lock;
    std::vector<Ref<RunLoopWaker>> wakers;
};

WakerList& Wakers() {
    static WakerList* list = new WakerList;
    return *list;
}

std::atomic<RunLoop*> gMain{nullptr};

bool OnMainThread() {
    return syscall(SYS_gettid) == getpid();
}

// The thread's loop; one made for a thread other than the main one is dropped when the thread ends.
struct ThreadLoop {
    RunLoop* loop = nullptr;
    Ref<RunLoop> owned;
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

constexpr size_t kNotFound = size_t(-1);

}  // namespace

// ---- items

bool RunLoopItem::IsValid() const {
    return fValid.load();
}

void RunLoopItem::Invalidate() {
    Ref<RunLoopWaker> waker;
    Ref<RunLoopItem> dropped;  // the loop's reference; may be the last
    {
        std::lock_guard<std::mutex> g(fItemLock);
        fValid.store(false);
        RunLoop* loop = fLoop.load();
        if (!loop) return;
        {
            std::lock_guard<std::mutex> lg(loop->fLock);
            size_t i = loop->Find(this);
            // Not found when the loop is going away: it releases the item itself.
            if (i != kNotFound) dropped = loop->Erase(i);
            fLoop.store(nullptr);
            fModes.store(0);
            // Still under the loop's lock: with the entry gone, its end no longer waits for this item.
            if (loop->fWaker->Claim()) waker = loop->fWaker;
        }
    }
    RunLoop::Wake(std::move(waker));
}

Ref<RunLoopSource> RunLoopSource::Create(Perform perform, void* info) {
    return Adopt(new RunLoopSource(perform, info));
}

void RunLoopSource::Signal() {
    if (!fValid.load()) return;
    // An exchange even when set, so that the loop's clearing exchange orders what the caller wrote
    // before it ahead of the perform.
    if (fSignalled.exchange(true)) return;
    Ref<RunLoopWaker> waker;
    {
        std::lock_guard<std::mutex> g(fItemLock);
        waker = RunLoop::ClaimWake(this);
    }
    RunLoop::Wake(std::move(waker));
}

bool RunLoopSource::IsSignalled() const {
    return fSignalled.load();
}

Ref<RunLoopTimer> RunLoopTimer::Create(double fireDate, double interval, Callback callback, void* info) {
    return Adopt(new RunLoopTimer(fireDate, interval < 0 ? 0 : interval, callback, info));
}

void RunLoopTimer::SetNextFireDate(double fireDate) {
    Ref<RunLoopWaker> waker;
    {
        std::lock_guard<std::mutex> g(fItemLock);
        fFireDate.store(fireDate);
        fDateChanges.fetch_add(1);
        waker = RunLoop::ClaimWake(this);
    }
    RunLoop::Wake(std::move(waker));
}

double RunLoopTimer::NextFireDate() const {
    return fFireDate.load();
}

Ref<FdSource> FdSource::Create(int fd, uint32_t events, Callback callback, void* info) {
    return Adopt(new FdSource(fd, events, callback, info));
}

void FdSource::SetEvents(uint32_t events) {
    Ref<RunLoopWaker> waker;
    {
        std::lock_guard<std::mutex> g(fItemLock);
        RunLoop* loop = fLoop.load();
        if (loop) {
            std::lock_guard<std::mutex> lg(loop->fLock);
            fEvents.store(events);
            loop->fFdChanges.fetch_add(1);
        } else {
            fEvents.store(events);
        }
        waker = RunLoop::ClaimWake(this);
    }
    RunLoop::Wake(std::move(waker));
}

// ---- loops

RunLoop::RunLoop() : fWaker(Adopt(new RunLoopWaker)) {
    fEpoll = epoll_create1(EPOLL_CLOEXEC);
    if (fEpoll < 0 || fWaker->Fd() < 0) std::abort();  // out of descriptors: nothing can run
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.ptr = nullptr;
    epoll_ctl(fEpoll, EPOLL_CTL_ADD, fWaker->Fd(), &ev);
    WakerList& list = Wakers();
    std::lock_guard<std::mutex> g(list.lock);
    list.wakers.push_back(fWaker);
}

RunLoop::~RunLoop() {
    {
        WakerList& list = Wakers();
        std::lock_guard<std::mutex> g(list.lock);
        auto it = std::find(list.wakers.begin(), list.wakers.end(), fWaker);
        if (it != list.wakers.end()) list.wakers.erase(it);
    }
    std::vector<Entry> entries;
    {
        std::lock_guard<std::mutex> g(fLock);
        entries.swap(fEntries);
    }
    // An item call that found this loop under the item's lock is done with it once the lock is ours.
    for (Entry& e : entries) {
        {
            std::lock_guard<std::mutex> g(e.item->fItemLock);
            if (e.item->fLoop.load() == this) {
                e.item->fLoop.store(nullptr);
                e.item->fModes.store(0);
            }
        }
        e.item = nullptr;
    }
    fInEpoll.clear();
    close(fEpoll);
}

RunLoop* RunLoop::Make() {
    return new RunLoop();
}

RunLoop* RunLoop::Current() {
    if (tLoop.loop) return tLoop.loop;
    if (OnMainThread()) {
        tLoop.loop = Main();
    } else {
        tLoop.owned = Adopt(Make());
        tLoop.loop = tLoop.owned.get();
    }
    return tLoop.loop;
}

RunLoop* RunLoop::Main() {
    RunLoop* loop = gMain.load(std::memory_order_acquire);
    if (loop) return loop;
    Ref<RunLoop> made = Adopt(Make());
    if (gMain.compare_exchange_strong(loop, made.get())) return made.release();  // kept for the process
    return loop;
}

bool RunLoop::IsMainThread() {
    return OnMainThread();
}

void RunLoop::WakeAll() {
    std::vector<Ref<RunLoopWaker>> claimed;
    {
        WakerList& list = Wakers();
        std::lock_guard<std::mutex> g(list.lock);
        claimed.reserve(list.wakers.size());
        for (const Ref<RunLoopWaker>& w : list.wakers)
            if (w->Claim()) claimed.push_back(w);
    }
    for (Ref<RunLoopWaker>& w : claimed) Wake(std::move(w));
}

Ref<RunLoopWaker> RunLoop::ClaimWake(const RunLoopItem* item) {
    RunLoop* loop = item->fLoop.load();
    if (!loop || !loop->fWaker->Claim()) return nullptr;
    return loop->fWaker;
}

void RunLoop::Wake(Ref<RunLoopWaker> waker) {
    if (waker) waker->Write();
}

void RunLoop::WakeUp() {
    if (fWaker->Claim()) fWaker->Write();
}

size_t RunLoop::Find(const RunLoopItem* item) const {
    for (size_t i = 0; i < fEntries.size(); ++i)
        if (fEntries[i].item == item) return i;
    return kNotFound;
}

Ref<RunLoopItem> RunLoop::Erase(size_t index) {
    if (fEntries[index].kind == kFd) fFdChanges.fetch_add(1);
    Ref<RunLoopItem> item = std::move(fEntries[index].item);
    fEntries.erase(fEntries.begin() + std::ptrdiff_t(index));
    return item;
}

bool RunLoop::Add(RunLoopItem* item, Kind kind, uint32_t modes) {
    if (!item) return false;
    modes &= kRunLoopCommonModes;
    {
        std::lock_guard<std::mutex> g(item->fItemLock);
        RunLoop* loop = item->fLoop.load();
        if (!item->fValid.load() || (loop && loop != this)) return false;
        if (!loop && !modes) return true;
        std::lock_guard<std::mutex> lg(fLock);
        if (!loop) {
            fEntries.push_back({RetainRef(item), kind});
            item->fLoop.store(this);
        }
        item->fModes.store(item->fModes.load() | modes);
        if (kind == kFd) fFdChanges.fetch_add(1);
    }
    WakeUp();
    return true;
}

void RunLoop::Remove(RunLoopItem* item, uint32_t modes) {
    if (!item) return;
    Ref<RunLoopItem> dropped;  // the loop's reference, dropped after the locks
    {
        std::lock_guard<std::mutex> g(item->fItemLock);
        if (item->fLoop.load() != this) return;
        std::lock_guard<std::mutex> lg(fLock);
        uint32_t left = item->fModes.load() & ~modes;
        item->fModes.store(left);
        size_t i = Find(item);
        if (i != kNotFound && fEntries[i].kind == kFd) fFdChanges.fetch_add(1);
        if (left) return;
        // Not found when the loop is going away: it drops the item itself.
        if (i != kNotFound) dropped = Erase(i);
        item->fLoop.store(nullptr);
    }
    WakeUp();
}

bool RunLoop::Contains(const RunLoopItem* item, uint32_t mode) const {
    return item && mode != 0 && item->fLoop.load() == this && (item->fModes.load() & mode) == mode;
}

void RunLoop::Stop() {
    fStopped.store(true);
    WakeUp();
}

void RunLoop::Drain() {
    fWaker->Drain();
}

void RunLoop::Run() {
    for (;;) {
        RunLoopResult r = RunInMode(kRunLoopDefaultMode, 1e10, false);
        if (r == RunLoopResult::kStopped || r == RunLoopResult::kFinished) return;
    }
}

RunLoop::Look RunLoop::Collect(RunLoopMode mode, double now, bool onlyOne, Turn& turn) {
    Look look{true, INFINITY, false};
    std::lock_guard<std::mutex> g(fLock);
    for (const Entry& e : fEntries) {
        if (!(e.item->fModes.load(std::memory_order_relaxed) & mode)) continue;
        look.empty = false;
        if (e.kind != kTimer) continue;
        auto* t = static_cast<RunLoopTimer*>(e.item.get());
        double date = t->fFireDate.load();
        if (date <= now) {
            turn.due.push_back({date, RetainRef(t)});
        } else {
            look.nextTimer = std::min(look.nextTimer, date);
        }
    }
    // Sources signalled by a timer callback run in the same turn: take them after the timers.
    if (turn.due.empty()) {
        look.sourcesTaken = true;
        for (const Entry& e : fEntries) {
            if (e.kind != kSource || !(e.item->fModes.load(std::memory_order_relaxed) & mode)) continue;
            auto* s = static_cast<RunLoopSource*>(e.item.get());
            if (!s->fSignalled.load() || !s->fSignalled.exchange(false)) continue;
            turn.ready.push_back(RetainRef(s));
            if (onlyOne) break;
        }
    }
    return look;
}

void RunLoop::TakeSources(RunLoopMode mode, bool onlyOne, Turn& turn) {
    std::lock_guard<std::mutex> g(fLock);
    for (const Entry& e : fEntries) {
        if (e.kind != kSource || !(e.item->fModes.load(std::memory_order_relaxed) & mode)) continue;
        auto* s = static_cast<RunLoopSource*>(e.item.get());
        if (!s->fSignalled.load() || !s->fSignalled.exchange(false)) continue;
        turn.ready.push_back(RetainRef(s));
        if (onlyOne) break;
    }
}

RunLoop::Look RunLoop::Inspect(RunLoopMode mode) const {
    Look look{true, INFINITY, true};
    std::lock_guard<std::mutex> g(fLock);
    for (const Entry& e : fEntries) {
        if (!(e.item->fModes.load(std::memory_order_relaxed) & mode)) continue;
        look.empty = false;
        if (e.kind == kTimer)
            look.nextTimer =
                std::min(look.nextTimer, static_cast<RunLoopTimer*>(e.item.get())->fFireDate.load());
    }
    return look;
}

// Fires the collected timers in date order, each at most once; callbacks may change the others.
void RunLoop::FireTimers(RunLoopMode mode, double now, Turn& turn) {
    std::vector<Due>& due = turn.due;
    // Insertion sort: stable, in place, and the list is short.
    for (size_t i = 1; i < due.size(); ++i) {
        Due d = std::move(due[i]);
        size_t j = i;
        for (; j > 0 && due[j - 1].date > d.date; --j) due[j] = std::move(due[j - 1]);
        due[j] = std::move(d);
    }
    for (Due& d : due) {
        RunLoopTimer* t = d.timer.get();
        uint32_t changes = t->fDateChanges.load();
        double date = t->fFireDate.load();
        bool fire = t->fLoop.load() == this && (t->fModes.load() & mode) && date <= now;
        if (fire && t->fCallback) t->fCallback(t, t->fInfo);
        bool invalidate = false;
        if (fire) {
            double after = ClockNow();
            std::lock_guard<std::mutex> g(t->fItemLock);
            if (t->fDateChanges.load() == changes && t->fValid.load()) {
                if (t->fInterval > 0) {
                    double next = date + t->fInterval;
                    if (next <= after) next += std::ceil((after - next) / t->fInterval + 1e-9) * t->fInterval;
                    if (next <= after) next = after + t->fInterval;
                    t->fFireDate.store(next);
                } else {
                    invalidate = true;
                }
            }
        }
        if (invalidate) t->Invalidate();
        d.timer = nullptr;
    }
    due.clear();
}

// Performs the collected sources. True when there was any.
bool RunLoop::PerformSources(Turn& turn) {
    bool any = !turn.ready.empty();
    for (Ref<RunLoopSource>& s : turn.ready) {
        if (s->fValid.load() && s->fPerform) s->fPerform(s->fInfo);
        s = nullptr;
    }
    turn.ready.clear();
    return any;
}

// Brings the epoll set in line with the descriptors that the mode watches.
void RunLoop::SyncDescriptors(RunLoopMode mode) {
    fWant.clear();
    {
        std::lock_guard<std::mutex> g(fLock);
        fSyncedChanges = fFdChanges.load();
        fSyncedMode = mode;
        for (const Entry& e : fEntries) {
            if (e.kind != kFd || !(e.item->fModes.load(std::memory_order_relaxed) & mode)) continue;
            auto* s = static_cast<FdSource*>(e.item.get());
            uint32_t events = s->fEvents.load();
            if (events) fWant.push_back({RetainRef(s), events});
        }
    }
    for (size_t i = 0; i < fInEpoll.size();) {
        Registered& r = fInEpoll[i];
        auto it = std::find_if(fWant.begin(), fWant.end(),
                               [&](const Registered& w) { return w.source == r.source; });
        if (it != fWant.end() && it->events == r.events) {
            fWant.erase(it);
            ++i;
            continue;
        }
        epoll_ctl(fEpoll, EPOLL_CTL_DEL, r.source->fFd, nullptr);  // EBADF when closed already: fine
        fInEpoll.erase(fInEpoll.begin() + std::ptrdiff_t(i));
    }
    for (const Registered& w : fWant) {
        epoll_event ev{};
        ev.events = EpollEvents(w.events);
        ev.data.ptr = w.source.get();
        if (epoll_ctl(fEpoll, EPOLL_CTL_ADD, w.source->fFd, &ev) != 0 &&
            (errno != EEXIST || epoll_ctl(fEpoll, EPOLL_CTL_MOD, w.source->fFd, &ev) != 0))
            continue;
        fInEpoll.push_back(w);
    }
    fWant.clear();
}

// Waits up to seconds for a wake-up or a ready descriptor and dispatches the descriptors.
// True when a descriptor callback ran.
bool RunLoop::WaitAndDispatch(RunLoopMode mode, double seconds, bool onlyOne, uint32_t epoch) {
    if (mode != fSyncedMode || fFdChanges.load() != fSyncedChanges) SyncDescriptors(mode);
    int ms = 0;
    bool sleeps = seconds > 0;
    if (sleeps) {
        double m = std::ceil(seconds * 1000.0);
        ms = m >= double(INT_MAX) ? INT_MAX : int(m);
        if (!fWaker->MaySleep(epoch)) ms = 0;
    }
    epoll_event events[16];
    fWaiting.store(true, std::memory_order_release);
    int n = epoll_wait(fEpoll, events, 16, ms);
    fWaiting.store(false, std::memory_order_release);
    if (sleeps) fWaker->Awake();
    bool handled = false;
    for (int i = 0; i < n; ++i) {
        auto* s = static_cast<FdSource*>(events[i].data.ptr);
        if (!s) {
            Drain();
            continue;
        }
        if (handled && onlyOne) continue;  // level-triggered: reported again next time
        // A run nested in an earlier callback may have dropped the source from the set.
        if (handled && std::none_of(fInEpoll.begin(), fInEpoll.end(),
                                    [s](const Registered& r) { return r.source == s; }))
            continue;
        if (s->fLoop.load() != this || !(s->fModes.load() & mode) || !s->fEvents.load()) continue;
        Ref<FdSource> keep = RetainRef(s);
        if (s->fCallback) s->fCallback(s, s->fFd, ReadyEvents(events[i].events), s->fInfo);
        handled = true;
    }
    return handled;
}

RunLoopResult RunLoop::RunInMode(RunLoopMode mode, double seconds, bool returnAfterSourceHandled) {
    if (fStopped.exchange(false)) return RunLoopResult::kStopped;
    if (mode == kRunLoopNoMode || (mode & (mode - 1)) != 0) return RunLoopResult::kFinished;
    bool onlyOne = returnAfterSourceHandled;
    if (fTurns.size() <= fDepth) fTurns.push_back(std::make_unique<Turn>());
    Turn& turn = *fTurns[fDepth];

    double now = ClockNow();
    uint32_t epoch = fWaker->Epoch();  // before looking at anything
    Look look = Collect(mode, now, onlyOne, turn);
    if (look.empty) return RunLoopResult::kFinished;
    ++fDepth;
    double deadline = now + (seconds > 0 ? seconds : 0);
    uint32_t outer = fMode.exchange(mode, std::memory_order_acq_rel);
    RunLoopResult result;
    for (;;) {
        bool ran = !turn.due.empty();
        FireTimers(mode, now, turn);
        if (!look.sourcesTaken) TakeSources(mode, onlyOne, turn);
        bool performed = PerformSources(turn);
        ran = ran || performed;
        if (performed && onlyOne) {
            result = RunLoopResult::kHandledSource;
            break;
        }
        if (fStopped.exchange(false)) {
            result = RunLoopResult::kStopped;
            break;
        }
        // Callbacks may have added, removed or re-armed items.
        if (ran) look = Inspect(mode);
        if (look.empty) {
            result = RunLoopResult::kFinished;
            break;
        }
        now = ClockNow();
        if (now >= deadline && seconds > 0) {
            result = RunLoopResult::kTimedOut;
            break;
        }
        double until = std::min(deadline, look.nextTimer);
        if (WaitAndDispatch(mode, until - now, onlyOne, epoch) && onlyOne) {
            result = RunLoopResult::kHandledSource;
            break;
        }
        now = ClockNow();
        epoch = fWaker->Epoch();
        look = Collect(mode, now, onlyOne, turn);
        if (seconds <= 0) {
            // A poll: one more look at timers and sources that the wait may have made ready.
            FireTimers(mode, now, turn);
            if (!look.sourcesTaken) TakeSources(mode, onlyOne, turn);
            result =
                PerformSources(turn) && onlyOne ? RunLoopResult::kHandledSource : RunLoopResult::kTimedOut;
            break;
        }
    }
    --fDepth;
    fMode.store(outer, std::memory_order_release);
    return result;
}

}  // namespace plat
