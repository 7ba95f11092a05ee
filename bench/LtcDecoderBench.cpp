// LtcDecoder beside libltc's decoder (ltc_decoder_write_s16 and draining its frame queue), both on
// the same 10 s of 25 fps LTC at 48 kHz, −20 dBFS, with a little noise. "samples_per_s" per second
// of benchmark time; the target is at least 50 million (about 1000 times real time).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "Orbilume/CSources/Sound/LtcDecoder.h"

#ifdef ORBILUME_BENCH_LIBLTC
#include <ltc.h>
#endif

namespace {

// Biphase-mark cells of 12 samples per half, frames counting up from 00:00:00:00, each followed by
// the sync word.
const std::vector<int16_t>& Signal() {
    static const std::vector<int16_t> samples = [] {
        std::vector<int16_t> out;
        int level = 3277;
        uint32_t noise = 1;
        auto bit = [&](bool one) {
            for (int half = 0; half < 2; ++half) {
                if (half == 0 || one) level = -level;
                for (int i = 0; i < 12; ++i) {
                    noise = noise * 1664525u + 1013904223u;
                    out.push_back(int16_t(level + int(noise >> 25) - 64));
                }
            }
        };
        for (uint32_t n = 0; n < 250; ++n) {
            const uint32_t f = n % 25, s = n / 25;
            const uint8_t b[8] = {
                uint8_t(f % 10), uint8_t(f / 10), uint8_t(s % 10), uint8_t(s / 10), 0, 0, 0, 0};
            for (int k = 0; k < 64; ++k) bit((b[k / 8] >> (k % 8)) & 1);
            for (int k = 0; k < 16; ++k) bit((LtcDecoder::kSyncWord >> k) & 1);
        }
        return out;
    }();
    return samples;
}

void BM_LtcDecoder(benchmark::State& state) {
    const std::vector<int16_t>& s = Signal();
    LtcDecoder d;
    uint64_t frames = 0;
    for (auto _ : state) {
        for (int16_t x : s) {
            if (!d.Feed(x)) continue;
            Timecode t;
            frames += LtcDecoder::DecodeFrame(d.Bytes(), t);
        }
        benchmark::DoNotOptimize(frames);
    }
    state.counters["samples_per_s"] =
        benchmark::Counter(double(state.iterations()) * double(s.size()), benchmark::Counter::kIsRate);
    state.counters["frames_per_pass"] = double(frames) / double(state.iterations());
}
BENCHMARK(BM_LtcDecoder);

#ifdef ORBILUME_BENCH_LIBLTC
void BM_LtcDecoder_libltc(benchmark::State& state) {
    std::vector<int16_t> s = Signal();
    LTCDecoder* d = ltc_decoder_create(48000 / 25, 32);
    LTCFrameExt frame;
    uint64_t frames = 0;
    ltc_off_t pos = 0;
    for (auto _ : state) {
        for (size_t at = 0; at < s.size(); at += 1024) {
            const size_t n = std::min<size_t>(1024, s.size() - at);
            ltc_decoder_write_s16(d, s.data() + at, n, pos);
            pos += ltc_off_t(n);
            while (ltc_decoder_read(d, &frame)) ++frames;
        }
        benchmark::DoNotOptimize(frames);
    }
    ltc_decoder_free(d);
    state.counters["samples_per_s"] =
        benchmark::Counter(double(state.iterations()) * double(s.size()), benchmark::Counter::kIsRate);
    state.counters["frames_per_pass"] = double(frames) / double(state.iterations());
}
BENCHMARK(BM_LtcDecoder_libltc);
#endif

}  // namespace
