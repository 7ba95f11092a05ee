// Value texts as the engine pushes them into compositions every frame a value changed: numbers and
// colours read in the C locale, beside the C library's readers (strtod in the process locale,
// strtod_l with a C locale object, sscanf for a colour).
#include <benchmark/benchmark.h>
#include <locale.h>

#include <cstdio>
#include <cstdlib>

#include "Lib3/LSources/CoreString/LString.h"
#include "Orbilume/CSources/Engine/CUnitParam.h"

namespace {

const char* const kNumbers[] = {"0.5", "-12.25", "1000", "0.001", "3.14159"};
constexpr int kCount = 5;

void BM_UnitParamReadNumber(benchmark::State& state) {
    const LString texts[kCount] = {kNumbers[0], kNumbers[1], kNumbers[2], kNumbers[3], kNumbers[4]};
    double sum = 0;
    for (auto _ : state) {
        for (const LString& t : texts) sum += CUnitParam::ReadNumber(t);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kCount);
}
BENCHMARK(BM_UnitParamReadNumber);

void BM_Strtod(benchmark::State& state) {
    double sum = 0;
    for (auto _ : state) {
        for (const char* t : kNumbers) sum += std::strtod(t, nullptr);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kCount);
}
BENCHMARK(BM_Strtod);

void BM_StrtodL(benchmark::State& state) {
    locale_t c = newlocale(LC_ALL_MASK, "C", nullptr);
    double sum = 0;
    for (auto _ : state) {
        for (const char* t : kNumbers) sum += strtod_l(t, nullptr, c);
        benchmark::DoNotOptimize(sum);
    }
    freelocale(c);
    state.SetItemsProcessed(state.iterations() * kCount);
}
BENCHMARK(BM_StrtodL);

void BM_UnitParamParseRgba(benchmark::State& state) {
    const LString text("rgba(0.25,0.5,0.75,1)");
    float rgba[4];
    for (auto _ : state) {
        CUnitParam::ParseRgba(text, rgba);
        benchmark::DoNotOptimize(rgba);
    }
}
BENCHMARK(BM_UnitParamParseRgba);

void BM_SscanfRgba(benchmark::State& state) {
    float rgba[4];
    for (auto _ : state) {
        benchmark::DoNotOptimize(std::sscanf("rgba(0.25,0.5,0.75,1)", "rgba(%f,%f,%f,%f)", &rgba[0], &rgba[1],
                                             &rgba[2], &rgba[3]));
        benchmark::DoNotOptimize(rgba);
    }
}
BENCHMARK(BM_SscanfRgba);

}  // namespace
