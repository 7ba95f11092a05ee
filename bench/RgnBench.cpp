// Region operations beside pixman's regions on the same rectangles. Each iteration times our
// operation and pixman's back to back; the counters give both times per iteration and their ratio
// (ours / pixman). pixman has no xor: its peer is (a - b) | (b - a), as X11 computes it.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <pixman.h>

#include <chrono>
#include <random>
#include <vector>

#include "Common/Container/CArray.h"
#include "Common/Rgn/CRgn.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRects = 1000;

// Scattered rectangles of 8 to 200 pixels a side over a 2000 × 2000 area.
std::vector<CLRect> MakeRects(uint32_t seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int32_t> pos(0, 1800), size(8, 200);
    std::vector<CLRect> rects;
    for (int i = 0; i < kRects; ++i) {
        const int32_t x = pos(random), y = pos(random);
        rects.push_back({x, y, x + size(random), y + size(random)});
    }
    return rects;
}

CRgn OursOf(const std::vector<CLRect>& rects) {
    CRgn r;
    for (const CLRect& rect : rects) r |= CRgn(rect);
    return r;
}

void PeerOf(const std::vector<CLRect>& rects, pixman_region32_t* r) {
    pixman_region32_init(r);
    for (const CLRect& c : rects)
        pixman_region32_union_rect(r, r, c.left, c.top, static_cast<unsigned>(c.right - c.left),
                                   static_cast<unsigned>(c.bottom - c.top));
}

// True when both hold the same rectangles in the same order.
bool Same(const CRgn& ours, pixman_region32_t* peer) {
    CArray<CLRect> rects;
    ours.GetRects(rects);
    int n = 0;
    const pixman_box32_t* boxes = pixman_region32_rectangles(peer, &n);
    if (static_cast<uint32_t>(n) != rects.Count()) return false;
    for (int i = 0; i < n; ++i) {
        const CLRect& r = rects[static_cast<uint32_t>(i)];
        if (r != CLRect{boxes[i].x1, boxes[i].y1, boxes[i].x2, boxes[i].y2}) return false;
    }
    return true;
}

// glibc gives the top of its heap back to the system once enough of it is free, and blocks over
// 128 KiB come from mmap; results of these sizes then cost page faults on every iteration, to one
// side or the other depending on where they land. Both keep freed memory while a case runs.
class KeepHeap {
public:
    KeepHeap() {
        mallopt(M_TRIM_THRESHOLD, 256 << 20);
        mallopt(M_MMAP_THRESHOLD, 32 << 20);
    }
    ~KeepHeap() {  // the defaults
        mallopt(M_TRIM_THRESHOLD, 128 << 10);
        mallopt(M_MMAP_THRESHOLD, 128 << 10);
    }
    KeepHeap(const KeepHeap&) = delete;
    KeepHeap& operator=(const KeepHeap&) = delete;
};

double Seconds(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

void Report(benchmark::State& state, double ours, double peer, const CRgn& result) {
    const double n = static_cast<double>(state.iterations());
    state.counters["ours_us"] = ours / n * 1e6;
    state.counters["peer_us"] = peer / n * 1e6;
    state.counters["ratio"] = peer > 0 ? ours / peer : 0;
    CArray<CLRect> rects;
    result.GetRects(rects);
    state.counters["rects"] = rects.Count();
}

// Grows one region by 1,000 rectangles, one at a time.
void BM_RgnUnionRects(benchmark::State& state) {
    const KeepHeap keep;
    const std::vector<CLRect> rects = MakeRects(1);
    double ours = 0, peer = 0;
    CRgn last;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        CRgn r = OursOf(rects);
        benchmark::DoNotOptimize(r.ScanData());
        const auto t1 = Clock::now();
        pixman_region32_t p;
        PeerOf(rects, &p);
        benchmark::DoNotOptimize(pixman_region32_n_rects(&p));
        const auto t2 = Clock::now();
        if (!Same(r, &p)) state.SkipWithError("results differ");
        pixman_region32_fini(&p);
        last = r;
        ours += Seconds(t0, t1);
        peer += Seconds(t1, t2);
        state.SetIterationTime(Seconds(t0, t2));
    }
    Report(state, ours, peer, last);
}
BENCHMARK(BM_RgnUnionRects)->UseManualTime()->Unit(benchmark::kMicrosecond);

enum class Op { kUnion, kIntersect, kMinus, kXor };

// One operation between two regions of 1,000 rectangles each.
void Binary(benchmark::State& state, Op op) {
    const KeepHeap keep;
    const std::vector<CLRect> ra = MakeRects(2), rb = MakeRects(3);
    const CRgn a = OursOf(ra), b = OursOf(rb);
    pixman_region32_t pa, pb;
    PeerOf(ra, &pa);
    PeerOf(rb, &pb);
    double ours = 0, peer = 0;
    CRgn last;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        CRgn r = a;
        switch (op) {
            case Op::kUnion:
                r |= b;
                break;
            case Op::kIntersect:
                r &= b;
                break;
            case Op::kMinus:
                r -= b;
                break;
            case Op::kXor:
                r ^= b;
                break;
        }
        benchmark::DoNotOptimize(r.ScanData());
        const auto t1 = Clock::now();
        pixman_region32_t p;
        pixman_region32_init(&p);
        switch (op) {
            case Op::kUnion:
                pixman_region32_union(&p, &pa, &pb);
                break;
            case Op::kIntersect:
                pixman_region32_intersect(&p, &pa, &pb);
                break;
            case Op::kMinus:
                pixman_region32_subtract(&p, &pa, &pb);
                break;
            case Op::kXor: {
                pixman_region32_t q;
                pixman_region32_init(&q);
                pixman_region32_subtract(&p, &pa, &pb);
                pixman_region32_subtract(&q, &pb, &pa);
                pixman_region32_union(&p, &p, &q);
                pixman_region32_fini(&q);
                break;
            }
        }
        benchmark::DoNotOptimize(pixman_region32_n_rects(&p));
        const auto t2 = Clock::now();
        if (!Same(r, &p)) state.SkipWithError("results differ");
        pixman_region32_fini(&p);
        last = r;
        ours += Seconds(t0, t1);
        peer += Seconds(t1, t2);
        state.SetIterationTime(Seconds(t0, t2));
    }
    pixman_region32_fini(&pa);
    pixman_region32_fini(&pb);
    Report(state, ours, peer, last);
}

void BM_RgnUnion(benchmark::State& state) {
    Binary(state, Op::kUnion);
}
void BM_RgnIntersect(benchmark::State& state) {
    Binary(state, Op::kIntersect);
}
void BM_RgnMinus(benchmark::State& state) {
    Binary(state, Op::kMinus);
}
void BM_RgnXor(benchmark::State& state) {
    Binary(state, Op::kXor);
}
BENCHMARK(BM_RgnUnion)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RgnIntersect)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RgnMinus)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RgnXor)->UseManualTime()->Unit(benchmark::kMicrosecond);

// Cuts 1,000 rectangles one at a time out of the whole area, as clipping does.
void BM_RgnMinusRects(benchmark::State& state) {
    const KeepHeap keep;
    const std::vector<CLRect> rects = MakeRects(4);
    const CLRect area{0, 0, 2000, 2000};
    double ours = 0, peer = 0;
    CRgn last;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        CRgn r(area);
        for (const CLRect& c : rects) r -= CRgn(c);
        benchmark::DoNotOptimize(r.ScanData());
        const auto t1 = Clock::now();
        pixman_region32_t p, c;
        pixman_region32_init_rect(&p, area.left, area.top, 2000, 2000);
        for (const CLRect& rect : rects) {
            pixman_region32_init_rect(&c, rect.left, rect.top, static_cast<unsigned>(rect.right - rect.left),
                                      static_cast<unsigned>(rect.bottom - rect.top));
            pixman_region32_subtract(&p, &p, &c);
            pixman_region32_fini(&c);
        }
        benchmark::DoNotOptimize(pixman_region32_n_rects(&p));
        const auto t2 = Clock::now();
        if (!Same(r, &p)) state.SkipWithError("results differ");
        pixman_region32_fini(&p);
        last = r;
        ours += Seconds(t0, t1);
        peer += Seconds(t1, t2);
        state.SetIterationTime(Seconds(t0, t2));
    }
    Report(state, ours, peer, last);
}
BENCHMARK(BM_RgnMinusRects)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
