// Cross-thread hand-offs through the run loop beside the bare epoll + eventfd code they replace.
// Each iteration times a batch of ours and a batch of the peer, in alternating order; "ratio" is
// ours over the peer for the whole run (run with --benchmark_repetitions and take the median).
#include <benchmark/benchmark.h>
#include <pthread.h>
#include <sched.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include "Lib3/LSources/CoreData/LAsyncWorkerLoop.h"
#include "Platform/Foundation/RunLoop.h"

namespace {

using Steady = std::chrono::steady_clock;

double Seconds(Steady::time_point t0) {
    return std::chrono::duration<double>(Steady::now() - t0).count();
}

// Where the scheduler puts the two sides of a hand-off decides its cost (a wake-up on the same
// CPU is several times cheaper than one across CPUs), so both pairs get the same places: this
// thread on the first CPU it may use, the far side on the second.
struct PingPongPlaces {
    cpu_set_t saved;
    int near = -1, far = -1;
    PingPongPlaces() {
        CPU_ZERO(&saved);
        if (pthread_getaffinity_np(pthread_self(), sizeof saved, &saved) != 0) return;
        for (int c = 0; c < CPU_SETSIZE && far < 0; ++c)
            if (CPU_ISSET(c, &saved)) (near < 0 ? near : far) = c;
        if (far >= 0) Pin(pthread_self(), near);
    }
    ~PingPongPlaces() {
        if (far >= 0) pthread_setaffinity_np(pthread_self(), sizeof saved, &saved);
    }
    void PinFar(std::thread& t) const {
        if (far >= 0) Pin(t.native_handle(), far);
    }
    static void Pin(pthread_t t, int cpu) {
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(cpu, &one);
        (void)pthread_setaffinity_np(t, sizeof one, &one);
    }
};

// ---- the peer: one epoll set and one eventfd per thread

struct BareWaiter {
    int epoll = epoll_create1(EPOLL_CLOEXEC);
    int event = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    BareWaiter() {
        if (epoll < 0 || event < 0) std::abort();
        epoll_event ev{};
        ev.events = EPOLLIN;
        epoll_ctl(epoll, EPOLL_CTL_ADD, event, &ev);
    }
    ~BareWaiter() {
        close(event);
        close(epoll);
    }
    void Wake() const {
        uint64_t one = 1;
        (void)!write(event, &one, sizeof one);
    }
    void Wait() const {
        epoll_event ev;
        while (epoll_wait(epoll, &ev, 1, -1) != 1) {
        }
        uint64_t n;
        (void)!read(event, &n, sizeof n);
    }
};

// A thread that answers every wake-up of its waiter by waking the other side.
struct BareEcho {
    BareWaiter mine;
    const BareWaiter* peer;
    std::atomic<bool> stop{false};
    std::thread thread;
    explicit BareEcho(const BareWaiter* p) : peer(p) {
        thread = std::thread([this] {
            for (;;) {
                mine.Wait();
                if (stop.load(std::memory_order_acquire)) return;
                peer->Wake();
            }
        });
    }
    ~BareEcho() {
        stop.store(true, std::memory_order_release);
        mine.Wake();
        thread.join();
    }
};

// ---- run-loop helpers

// A loop thread that runs until stopped; a source on it keeps it from running out of work.
struct LoopThread {
    std::atomic<plat::RunLoop*> loop{nullptr};
    plat::Ref<plat::RunLoopSource> source;
    std::thread thread;
    LoopThread(plat::RunLoopSource::Perform perform, void* info)
        : source(plat::RunLoopSource::Create(perform, info)) {
        thread = std::thread([this] {
            plat::RunLoop* l = plat::RunLoop::Current();
            (void)l->AddSource(source.get(), plat::kRunLoopCommonModes);
            l->Retain();
            loop.store(l, std::memory_order_release);
            l->Run();
        });
        while (!loop.load(std::memory_order_acquire)) std::this_thread::yield();
    }
    ~LoopThread() {
        loop.load()->Stop();
        thread.join();
        source->Invalidate();
        loop.load()->Release();
    }
};

constexpr int kRoundTrips = 50;
// Long enough that starting and awaiting a rally from this thread costs little beside it.
constexpr int kRallyTrips = 200;

// ---- ping-pong: this thread's loop and a loop thread signal each other's source

struct PingPong {
    plat::Ref<plat::RunLoopSource> home;  // on this thread's loop
    int pongs = 0;
    static void Pong(void* self) { static_cast<PingPong*>(self)->pongs++; }
    static void Echo(void* self) { static_cast<PingPong*>(self)->home->Signal(); }
};

void BM_RunLoopPingPong(benchmark::State& state) {
    PingPong pp;
    pp.home = plat::RunLoopSource::Create(&PingPong::Pong, &pp);
    plat::RunLoop* loop = plat::RunLoop::Current();
    (void)loop->AddSource(pp.home.get(), plat::kRunLoopDefaultMode);
    PingPongPlaces places;
    LoopThread remote(&PingPong::Echo, &pp);
    places.PinFar(remote.thread);

    BareWaiter bareHome;
    BareEcho bareRemote(&bareHome);
    places.PinFar(bareRemote.thread);

    auto ours = [&] {
        auto t0 = Steady::now();
        for (int i = 0; i < kRoundTrips; ++i) {
            int before = pp.pongs;
            remote.source->Signal();
            while (pp.pongs == before) loop->RunInMode(plat::kRunLoopDefaultMode, 10.0, true);
        }
        return Seconds(t0);
    };
    auto peer = [&] {
        auto t0 = Steady::now();
        for (int i = 0; i < kRoundTrips; ++i) {
            bareRemote.mine.Wake();
            bareHome.Wait();
        }
        return Seconds(t0);
    };

    double oursTotal = 0, peerTotal = 0;
    bool oursFirst = true;
    for (auto _ : state) {
        double o, p;
        if (oursFirst) {
            o = ours();
            p = peer();
        } else {
            p = peer();
            o = ours();
        }
        oursFirst = !oursFirst;
        oursTotal += o;
        peerTotal += p;
        state.SetIterationTime(o);
    }
    pp.home->Invalidate();
    double trips = double(state.iterations()) * kRoundTrips;
    state.counters["ratio"] = oursTotal / peerTotal;
    state.counters["ours_us"] = oursTotal / trips * 1e6;
    state.counters["peer_us"] = peerTotal / trips * 1e6;
}
BENCHMARK(BM_RunLoopPingPong)->UseManualTime()->Unit(benchmark::kMicrosecond)->MinTime(1.0);

// ---- a rally of signals between two worker loops, started and awaited from this thread

struct Rally;

class Player : public LHandler {
public:
    Player() : LHandler(nullptr) {}
    LMessage Handle(const LMessage& msg) override;
    Rally* rally = nullptr;
    bool serves = false;  // counts the returns and ends the rally
    LAsyncSignal* other = nullptr;
};

struct Rally {
    int target = 0;
    int count = 0;  // the serving player's thread only
    std::atomic<int> done{0};
    void Finish() {
        done.store(1, std::memory_order_release);
        done.notify_one();
    }
    void Await() {
        done.wait(0, std::memory_order_acquire);
        done.store(0, std::memory_order_relaxed);
    }
};

LMessage Player::Handle(const LMessage& msg) {
    if (!msg.Is(LAsyncSignal_X)) return LHandler::Handle(msg);
    if (serves && ++rally->count >= rally->target) {
        rally->Finish();
        return LMessage();
    }
    other->Raise();
    return LMessage();
}

void BM_AsyncSignalPingPong(benchmark::State& state) {
    LAsyncWorkerLoop loopA(nullptr), loopB(nullptr);
    Rally rally;
    Player a, b;
    LAsyncSignal toA(&a, &loopA), toB(&b, &loopB);
    a.rally = b.rally = &rally;
    a.serves = true;
    a.other = &toB;
    b.other = &toA;

    // The peer: two bare threads that pass a wake-up back and forth; the first counts.
    BareWaiter bareA, bareB;
    std::atomic<bool> bareStop{false};
    int bareTarget = 0;
    std::atomic<int> bareStart{0};
    std::thread threadB([&] {
        for (;;) {
            bareB.Wait();
            if (bareStop.load(std::memory_order_acquire)) return;
            bareA.Wake();
        }
    });
    std::thread threadA([&] {
        for (;;) {
            bareA.Wait();
            if (bareStop.load(std::memory_order_acquire)) return;
            if (bareStart.exchange(0, std::memory_order_acq_rel)) rally.count = 0;
            if (++rally.count >= bareTarget) {
                rally.Finish();
                continue;
            }
            bareB.Wake();
        }
    });

    auto ours = [&] {
        rally.count = 0;
        rally.target = kRallyTrips;
        auto t0 = Steady::now();
        toA.Raise();
        rally.Await();
        return Seconds(t0);
    };
    auto peer = [&] {
        bareTarget = kRallyTrips;
        bareStart.store(1, std::memory_order_release);
        auto t0 = Steady::now();
        bareA.Wake();
        rally.Await();
        return Seconds(t0);
    };

    double oursTotal = 0, peerTotal = 0;
    bool oursFirst = true;
    for (auto _ : state) {
        double o, p;
        if (oursFirst) {
            o = ours();
            p = peer();
        } else {
            p = peer();
            o = ours();
        }
        oursFirst = !oursFirst;
        oursTotal += o;
        peerTotal += p;
        state.SetIterationTime(o);
    }
    bareStop.store(true, std::memory_order_release);
    bareA.Wake();
    bareB.Wake();
    threadA.join();
    threadB.join();
    double trips = double(state.iterations()) * kRallyTrips;
    state.counters["ratio"] = oursTotal / peerTotal;
    state.counters["ours_us"] = oursTotal / trips * 1e6;
    state.counters["peer_us"] = peerTotal / trips * 1e6;
}
BENCHMARK(BM_AsyncSignalPingPong)->UseManualTime()->Unit(benchmark::kMicrosecond)->MinTime(1.0);

// ---- a million posts from this thread into a mutex-guarded queue drained on another thread

constexpr int kPosts = 1000000;

struct PostQueue {
    std::mutex mutex;
    std::vector<uint64_t> items;  // mutex
    std::vector<uint64_t> taken;  // consumer only
    std::atomic<int64_t> consumed{0};
    uint64_t sum = 0;

    // Appends; true when the queue was empty.
    bool Push(uint64_t v) {
        std::lock_guard<std::mutex> g(mutex);
        items.push_back(v);
        return items.size() == 1;
    }
    void Take() {
        {
            std::lock_guard<std::mutex> g(mutex);
            items.swap(taken);
        }
        for (uint64_t v : taken) sum += v;
        consumed.fetch_add(int64_t(taken.size()), std::memory_order_release);
        taken.clear();
    }
    void AwaitConsumed(int64_t n) const {
        while (consumed.load(std::memory_order_acquire) < n) std::this_thread::yield();
    }
};

// Posts the way a queue wakes its consumer: only a post to an empty queue wakes it (the run-loop
// source for ours, the eventfd for the peer). With signalEach ours signals on every post instead,
// which adds one atomic exchange per post.
void RunPosts(benchmark::State& state, bool signalEach) {
    PingPongPlaces places;
    PostQueue q;
    q.items.reserve(kPosts);
    q.taken.reserve(kPosts);
    LoopThread consumer([](void* self) { static_cast<PostQueue*>(self)->Take(); }, &q);
    places.PinFar(consumer.thread);

    PostQueue bq;
    bq.items.reserve(kPosts);
    bq.taken.reserve(kPosts);
    BareWaiter bareWaiter;
    std::atomic<bool> bareStop{false};
    std::thread bareConsumer([&] {
        for (;;) {
            bareWaiter.Wait();
            if (bareStop.load(std::memory_order_acquire)) return;
            bq.Take();
        }
    });
    places.PinFar(bareConsumer);

    auto ours = [&] {
        int64_t base = q.consumed.load();
        auto t0 = Steady::now();
        for (int i = 0; i < kPosts; ++i)
            if (q.Push(uint64_t(i)) || signalEach) consumer.source->Signal();
        q.AwaitConsumed(base + kPosts);
        return Seconds(t0);
    };
    auto peer = [&] {
        int64_t base = bq.consumed.load();
        auto t0 = Steady::now();
        for (int i = 0; i < kPosts; ++i)
            if (bq.Push(uint64_t(i))) bareWaiter.Wake();
        bq.AwaitConsumed(base + kPosts);
        return Seconds(t0);
    };

    double oursTotal = 0, peerTotal = 0;
    bool oursFirst = true;
    for (auto _ : state) {
        double o, p;
        if (oursFirst) {
            o = ours();
            p = peer();
        } else {
            p = peer();
            o = ours();
        }
        oursFirst = !oursFirst;
        oursTotal += o;
        peerTotal += p;
        state.SetIterationTime(o);
    }
    bareStop.store(true, std::memory_order_release);
    bareWaiter.Wake();
    bareConsumer.join();
    state.counters["ratio"] = oursTotal / peerTotal;
    state.counters["ours_ms"] = oursTotal / double(state.iterations()) * 1e3;
    state.counters["peer_ms"] = peerTotal / double(state.iterations()) * 1e3;
}

void BM_RunLoopPosts(benchmark::State& state) {
    RunPosts(state, false);
}
BENCHMARK(BM_RunLoopPosts)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(0.5);

void BM_RunLoopPostsSignalEach(benchmark::State& state) {
    RunPosts(state, true);
}
BENCHMARK(BM_RunLoopPostsSignalEach)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(0.5);

}  // namespace
