// Canonical decomposition (NFD) of UTF-8 text beside ICU's normalizer on the same bytes, UTF-8 in
// and out. Each iteration times our call and ICU's back to back; the counters give both times per
// iteration and their ratio (ours / ICU).
#include <benchmark/benchmark.h>
#include <unicode/bytestream.h>
#include <unicode/normalizer2.h>

#include <chrono>
#include <string>

#include "Lib3/LSources/CoreString/LVariStr.h"
#include "Lib3/LSources/String/UnicodeDecomp.h"

namespace {

using Clock = std::chrono::steady_clock;

// Mixed-language text, mostly precomposed, with some marks out of canonical order.
const char* const kSamples[] = {
    "The quick brown fox jumps over the lazy dog; plain ASCII stays as it is. ",
    "Les élèves étaient déjà à l'école où ils apprenaient le français. Ça a été très agréable. ",
    "Größere Bäume überall, sagte Müller, und äußerte Übermut gegenüber Jürgen. ",
    "Tiếng Việt có nhiều dấu thanh: ở, ữ, ặ, ỗ, ệ. Người ta nói rằng học hỏi không bao giờ muộn. ",
    "Ἐν ἀρχῇ ἦν ὁ λόγος, καὶ ὁ λόγος ἦν πρὸς τὸν θεόν. Ἀθῆναι, ὦ ἄνδρες. ",
    "Съешь же ещё этих мягких французских булок, да выпей йоду. Ёлка. ",
    "한국어 텍스트는 한글 음절로 이루어집니다. 다람쥐 헌 쳇바퀴에 타고파. ",
    "がぎぐげご ざじずぜぞ パピプペポ。デジタル・ビデオ。 ",
    "Marks out of order: a\u0301\u0316 q\u0307\u0323 e\u0308\u0330\u0327 o\u031b\u0323\u0301. ",
    "Señor Núñez, São Paulo, Kraków, Dvořák, Ångström, Øresund, Þórshöfn. ",
};

std::string MakeText(size_t bytes) {
    std::string text;
    while (text.size() < bytes)
        for (const char* s : kSamples) text += s;
    return text;
}

void BM_UnicodeDecompose(benchmark::State& state) {
    const std::string text = MakeText(static_cast<size_t>(state.range(0)));
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const auto length = static_cast<uint32_t>(text.size());
    UErrorCode error = U_ZERO_ERROR;
    const icu::Normalizer2* nfd = icu::Normalizer2::getNFDInstance(error);
    if (U_FAILURE(error)) {
        state.SkipWithError("no ICU normalizer");
        return;
    }
    LVariStr<64> ours;
    std::string peer;
    double oursTime = 0, peerTime = 0;
    for (auto _ : state) {
        ours.Reset();
        peer.clear();
        const auto t0 = Clock::now();
        const bool ok = UnicodeDecomp::DecomposeUtf8(bytes, length, ours);
        benchmark::DoNotOptimize(ours.Text());
        const auto t1 = Clock::now();
        icu::StringByteSink<std::string> sink(&peer);
        nfd->normalizeUTF8(0, icu::StringPiece(text.data(), static_cast<int32_t>(text.size())), sink, nullptr,
                           error);
        benchmark::DoNotOptimize(peer.data());
        const auto t2 = Clock::now();
        if (!ok || U_FAILURE(error) || peer != std::string(ours.CStr(), ours.Length()))
            state.SkipWithError("results differ");
        oursTime += std::chrono::duration<double>(t1 - t0).count();
        peerTime += std::chrono::duration<double>(t2 - t1).count();
        state.SetIterationTime(std::chrono::duration<double>(t2 - t0).count());
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["ours_us"] = oursTime / n * 1e6;
    state.counters["peer_us"] = peerTime / n * 1e6;
    state.counters["ratio"] = peerTime > 0 ? oursTime / peerTime : 0;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(length));
}
BENCHMARK(BM_UnicodeDecompose)->Arg(64 << 10)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
