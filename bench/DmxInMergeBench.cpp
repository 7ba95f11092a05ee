// CDmxInMerge::Offer beside its peer, a locked 512-byte copy (the least any merge must do per frame).
// Frames come from the current source, the common case; no run loop turns, so one delivery stays
// pending and the timer is armed once. "frames_per_s" is counted per second of the benchmark's time.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <mutex>

#include "Orbilume/CSources/DmxIn/CDmxInMerge.h"

namespace {

void Sink(void*, const DmxInSource&, const uint8_t*, uint32_t) {}

void BM_DmxInMergeOffer(benchmark::State& state) {
    CDmxInMerge merge(nullptr, &Sink);
    DmxInSource s;
    s.kind = DmxInSource::kArtNet;
    s.priority = 100;
    s.address = CNetAddress::IPv4(0x0A000001, 6454);
    uint8_t slots[512];
    for (int i = 0; i < 512; ++i) slots[i] = uint8_t(i);
    for (auto _ : state) {
        merge.Offer(s, 512, slots);
        slots[0]++;
    }
    state.counters["frames_per_s"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DmxInMergeOffer);

void BM_PeerLockedCopy(benchmark::State& state) {
    std::mutex m;
    uint8_t frame[513] = {};
    uint8_t slots[512];
    for (int i = 0; i < 512; ++i) slots[i] = uint8_t(i);
    for (auto _ : state) {
        {
            std::lock_guard<std::mutex> lock(m);
            std::memcpy(frame + 1, slots, 512);
        }
        benchmark::DoNotOptimize(frame);
        slots[0]++;
    }
    state.counters["frames_per_s"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PeerLockedCopy);

}  // namespace
