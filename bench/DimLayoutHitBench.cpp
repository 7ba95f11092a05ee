// dimlayout::HitTest over many devices beside its peer, one pass that maps the point into every
// device's frame and keeps the smallest body under it (the least a hit test of rotated rectangles
// must do). Both should grow linearly with the device count; "devices_per_s" counts devices tested.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "Orbilume/CSources/Led/DimLayoutGeometry.h"

namespace {

std::vector<dimlayout::Place> Grid(int64_t n) {
    std::vector<dimlayout::Place> places;
    const int64_t side = int64_t(std::ceil(std::sqrt(double(n))));
    for (int64_t i = 0; i < n; ++i) {
        const float x = -1 + 2 * float(i % side) / float(side), y = -1 + 2 * float(i / side) / float(side);
        places.push_back({x, y, 1.5f / float(side), 1.0f / float(side), float(i % 90)});
    }
    return places;
}

void BM_DimLayoutHitTest(benchmark::State& state) {
    const auto places = Grid(state.range(0));
    const std::vector<uint8_t> selected(places.size(), 0);
    const dimlayout::Pane pane{800, 600};
    double t = 0;
    for (auto _ : state) {
        const dimlayout::Point p{std::sin(t), std::cos(t)};
        benchmark::DoNotOptimize(dimlayout::HitTest(pane, places, selected, p));
        t += 0.01;
    }
    state.counters["devices_per_s"] =
        benchmark::Counter(double(state.iterations() * state.range(0)), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DimLayoutHitTest)->Arg(1000)->Arg(10000);

void BM_PeerBodyPass(benchmark::State& state) {
    const auto places = Grid(state.range(0));
    double t = 0;
    for (auto _ : state) {
        const double px = std::sin(t), py = std::cos(t);
        int32_t best = -1;
        double area = 1e30;
        for (size_t i = 0; i < places.size(); ++i) {
            const auto& d = places[i];
            const double r = -double(d.rot) * M_PI / 180, c = std::cos(r), s = std::sin(r);
            const double dx = px - d.x, dy = py - d.y;
            const double lx = c * dx - s * dy, ly = s * dx + c * dy;
            const double hw = d.w * 0.5, hh = d.h * 0.5;
            if (std::fabs(lx) <= hw && std::fabs(ly) <= hh && hw * hh < area) {
                area = hw * hh;
                best = int32_t(i);
            }
        }
        benchmark::DoNotOptimize(best);
        t += 0.01;
    }
    state.counters["devices_per_s"] =
        benchmark::Counter(double(state.iterations() * state.range(0)), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PeerBodyPass)->Arg(1000)->Arg(10000);

}  // namespace
