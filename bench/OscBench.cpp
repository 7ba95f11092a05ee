// OSC parsing with argument collection and pattern matching, beside liblo (the reference OSC
// library): lo_message_deserialise and lo_pattern_match.
#include <benchmark/benchmark.h>
#include <lo/lo_lowlevel.h>

#include <cstring>
#include <vector>

#include "Orbilume/CSources/Net/CNetAddress.h"
#include "Orbilume/CSources/Osc/OscArg.h"
#include "Orbilume/CSources/Osc/OscListener.h"
#include "Orbilume/CSources/Osc/OscParser.h"
#include "Orbilume/CSources/Osc/OscPattern.h"

namespace {

// "/layer/1/opacity" ",f" 0.5
const uint8_t kOpacity[] = {'/', 'l', 'a', 'y', 'e', 'r', '/', '1', '/', 'o',  'p', 'a', 'c', 'i', 't',
                            'y', 0,   0,   0,   0,   ',', 'f', 0,   0,   0x3f, 0,   0,   0,   0};
constexpr uint32_t kOpacitySize = 28;

void BM_OscParserCollect(benchmark::State& state) {
    OscParser parser;
    std::vector<OscArg> args;
    args.reserve(8);
    for (auto _ : state) {
        parser.Reset();
        args.clear();
        const uint8_t* cur = kOpacity;
        const uint8_t* end = kOpacity + kOpacitySize;
        for (int r; (r = parser.Feed(cur, end)) != OscParser::kNeedMore && r != OscParser::kBadMessage;) {
            if (r == OscParser::kArgument) args.push_back(OscArg::Float(parser.Float()));
            if (r == OscParser::kMessageEnd) benchmark::DoNotOptimize(args.data());
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_OscParserCollect);

void BM_LibloDeserialise(benchmark::State& state) {
    uint8_t copy[kOpacitySize];
    for (auto _ : state) {
        std::memcpy(copy, kOpacity, kOpacitySize);
        int result = 0;
        lo_message m = lo_message_deserialise(copy, kOpacitySize, &result);
        lo_arg** argv = lo_message_get_argv(m);
        benchmark::DoNotOptimize(argv[0]->f);
        lo_message_free(m);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LibloDeserialise);

const char kAddress[] = "/layer/12/opacity/xy";  // 20 characters

void BM_OscPatternCompileMatch(benchmark::State& state) {
    OscPattern pattern;
    for (auto _ : state) {
        pattern.Compile(kAddress);
        benchmark::DoNotOptimize(pattern.IsMatch("/layer/12/opacity/xy"));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_OscPatternCompileMatch);

void BM_OscPatternCompileMatchWild(benchmark::State& state) {
    OscPattern pattern;
    for (auto _ : state) {
        pattern.Compile("/layer/*/opac?ty/{x,xy}");
        benchmark::DoNotOptimize(pattern.IsMatch("/layer/12/opacity/xy"));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_OscPatternCompileMatchWild);

void BM_LibloPatternMatch(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(lo_pattern_match("/layer/12/opacity/xy", kAddress));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LibloPatternMatch);

void BM_LibloPatternMatchWild(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(lo_pattern_match("/layer/12/opacity/xy", "/layer/*/opac?ty/{x,xy}"));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LibloPatternMatchWild);

}  // namespace
