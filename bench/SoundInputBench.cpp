// Sound input beside its peers.
// - CSampleConverter reading one value per frame, beside a raw loop that reads little-endian 16-bit
//   samples inline (the least any converter does). "samples_per_s" per second of benchmark time.
// - One audio-thread callback of 10 ms (480 stereo 16-bit frames at 48 kHz) into the ring with the
//   consumer on a worker loop, beside a raw 1920-byte copy plus a release store (the least a ring
//   writer does).
// - 10 s of real-time capture at that rate through the fake device with the consumer on a worker
//   loop: "frames_lost" must be 0; the callbacks' median, 99th percentile and slowest time (the
//   slowest includes the scheduler's hiccups on a busy machine).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "Lib3/LSources/CoreData/LAsyncWorkerLoop.h"
#include "Orbilume/CSources/Sound/CSampleConverter.h"
#include "Orbilume/CSources/Sound/SoundInput.h"
#include "Platform/Audio/fake/FakeAudioSystem.h"

namespace {

constexpr uint32_t kFrames = 48000;

std::vector<uint8_t> Noise(size_t bytes) {
    std::vector<uint8_t> b(bytes);
    uint32_t x = 12345;
    for (uint8_t& v : b) {
        x = x * 1664525u + 1013904223u;
        v = uint8_t(x >> 24);
    }
    return b;
}

// args: bits, channels, channel (255 = mix), signed
void BM_SampleConverterRead(benchmark::State& state) {
    const auto bits = uint32_t(state.range(0));
    const auto channels = uint32_t(state.range(1));
    const auto channel = uint32_t(state.range(2));
    CSampleConverter conv;
    conv.Select(CSampleConverter::kLittleEndian, state.range(3) != 0, bits, channels, channel);
    std::vector<uint8_t> data = Noise(size_t(kFrames) * conv.Stride());
    for (auto _ : state) {
        int64_t sum = 0;
        const uint8_t* p = data.data();
        for (uint32_t i = 0; i < kFrames; ++i, p += conv.Stride()) sum += conv.Read(p);
        benchmark::DoNotOptimize(sum);
    }
    state.counters["samples_per_s"] =
        benchmark::Counter(double(state.iterations()) * kFrames, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SampleConverterRead)
    ->Args({16, 1, 0, 1})
    ->Args({16, 2, 255, 1})
    ->Args({24, 2, 1, 1})
    ->Args({8, 1, 0, 0});

void BM_PeerRawInt16Read(benchmark::State& state) {
    std::vector<uint8_t> data = Noise(size_t(kFrames) * 2);
    for (auto _ : state) {
        int64_t sum = 0;
        const uint8_t* p = data.data();
        for (uint32_t i = 0; i < kFrames; ++i, p += 2) sum += int16_t(uint16_t(p[0] | (p[1] << 8)));
        benchmark::DoNotOptimize(sum);
    }
    state.counters["samples_per_s"] =
        benchmark::Counter(double(state.iterations()) * kFrames, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PeerRawInt16Read);

struct Counting {
    std::atomic<uint64_t> frames{0};
    static void Consume(void* self, const uint8_t*, uint32_t bytes) {
        static_cast<Counting*>(self)->frames.fetch_add(bytes / 4, std::memory_order_relaxed);
    }
};

struct Rig {
    plat::FakeAudioSystem sys;
    LAsyncWorkerLoop loop{nullptr};
    std::unique_ptr<SoundInput> input;
    plat::FakeCaptureUnit* unit = nullptr;
    Counting counting;

    bool Open() {
        plat::FakeAudioDevice d;
        d.name = "Bench";
        plat::AudioDeviceID id = sys.Add(d);
        if (!sys.SetDefaultDevice(plat::AudioScope::kInput, id)) return false;
        input = std::make_unique<SoundInput>(&loop, &sys);
        SoundFormat f;
        f.rate = 48000;
        f.channels = 2;
        if (input->Open(SoundInputSpec(), f) != 0) return false;
        input->SetConsumer(&counting, Counting::Consume);
        input->Start();
        unit = sys.LastCaptureUnit();
        if (!unit) return false;
        // The device's own cost is a copy, as the peer's.
        unit->SetGenerator([](uint8_t* out, uint64_t, uint32_t frames, uint32_t frameBytes) {
            static const std::vector<uint8_t> noise = Noise(1 << 16);
            std::memcpy(out, noise.data(), std::min<size_t>(size_t(frames) * frameBytes, noise.size()));
        });
        return true;
    }
    ~Rig() { input.reset(); }
};

void BM_SoundInputCallback10ms(benchmark::State& state) {
    Rig rig;
    if (!rig.Open()) {
        state.SkipWithError("cannot open the fake input");
        return;
    }
    for (auto _ : state) benchmark::DoNotOptimize(rig.unit->Deliver(480));
    state.counters["callbacks_per_s"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SoundInputCallback10ms);

void BM_PeerRingCopy10ms(benchmark::State& state) {
    static uint8_t ring[32768];
    std::vector<uint8_t> src = Noise(1920);
    std::atomic<uint16_t> write{0};
    for (auto _ : state) {
        uint16_t w = write.load(std::memory_order_relaxed);
        uint32_t at = w & 32767u;
        if (at + 1920 > sizeof ring) at = 0;
        std::memcpy(ring + at, src.data(), 1920);
        write.store(uint16_t(at + 1920), std::memory_order_release);
        benchmark::DoNotOptimize(ring);
    }
    state.counters["callbacks_per_s"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PeerRingCopy10ms);

void BM_SoundInputRealTime10s(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    uint64_t delivered = 0, received = 0;
    std::vector<double> us;
    for (auto _ : state) {
        Rig rig;
        if (!rig.Open()) {
            state.SkipWithError("cannot open the fake input");
            return;
        }
        auto next = Clock::now();
        for (int i = 0; i < 1000; ++i) {
            next += std::chrono::milliseconds(10);
            std::this_thread::sleep_until(next);
            auto t0 = Clock::now();
            rig.unit->Deliver(480);
            us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
            delivered += 480;
        }
        auto t0 = Clock::now();
        while (rig.counting.frames.load() < delivered && Clock::now() - t0 < std::chrono::seconds(2))
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        received = rig.counting.frames.load();
    }
    std::sort(us.begin(), us.end());
    state.counters["frames_lost"] = double(delivered - received);
    state.counters["median_callback_us"] = us.empty() ? 0 : us[us.size() / 2];
    state.counters["p99_callback_us"] = us.empty() ? 0 : us[us.size() * 99 / 100];
    state.counters["max_callback_us"] = us.empty() ? 0 : us.back();
}
BENCHMARK(BM_SoundInputRealTime10s)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
