// Random sample streams through the LTC decoder, the frame checks and the source's chunk loop.
// The first byte picks the mode: raw 16-bit samples, or biphase-mark cells made from the input's
// bits (with sync words among them, so frames complete and reach the checks) at a chosen cell length
// and amplitude. Whatever arrives, a frame that passes the checks holds a time in range, and the
// bit counter stays within a frame.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "Lib3/LSources/CoreData/LAsyncMainLoop.h"
#include "Orbilume/CSources/Sound/LtcDecoder.h"
#include "Orbilume/CSources/Sound/LtcSource.h"
#include "Platform/Audio/fake/FakeAudioSystem.h"

namespace {

void Require(bool ok) {
    if (!ok) std::abort();
}

void CheckFrame(const uint8_t* bytes) {
    Timecode t;
    t.Init(30);
    if (!LtcDecoder::DecodeFrame(bytes, t)) return;
    Require(t.hours <= 23 && t.minutes <= 59 && t.seconds <= 59 && t.frames <= 39 && t.code == 30);
}

// Biphase-mark cells from bits: every 8th input byte that is 0xFC starts a sync word.
std::vector<int16_t> Cells(const uint8_t* data, size_t size, uint32_t half, int amplitude) {
    std::vector<int16_t> out;
    int level = amplitude;
    auto bit = [&](bool one) {
        level = -level;
        for (uint32_t i = 0; i < half; ++i) out.push_back(int16_t(level));
        if (one) level = -level;
        for (uint32_t i = 0; i < half; ++i) out.push_back(int16_t(level));
    };
    for (size_t k = 0; k < size && out.size() < (1u << 17); ++k) {
        if (data[k] == 0xFC) {
            for (int b = 0; b < 16; ++b) bit((LtcDecoder::kSyncWord >> b) & 1);
            continue;
        }
        for (int b = 0; b < 8; ++b) bit((data[k] >> b) & 1);
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3 || size > 8192) return 0;
    const uint8_t mode = data[0];
    std::vector<int16_t> samples;
    if (mode & 1) {
        const uint32_t half = 1 + data[1] % 40;
        const int amplitude = int(data[2]) * 128 + 1;
        samples = Cells(data + 3, size - 3, half, amplitude);
    } else {
        for (size_t k = 1; k + 1 < size; k += 2) samples.push_back(int16_t(data[k] | (data[k + 1] << 8)));
    }

    LtcDecoder d;
    for (int16_t s : samples) {
        if (d.Feed(s)) {
            Require(d.IsHunting());
            CheckFrame(d.Bytes());
        }
        Require(d.IsHunting() || d.BitCount() < 64);
    }
    const int db = d.LevelDb();
    Require(d.Level() == 0 ? db == LtcDecoder::LevelDbOf(0) : db <= 6);

    // The source's chunk loop on the same samples as stereo 16-bit frames, in chunks of any size.
    static LAsyncMainLoop loop;
    static plat::FakeAudioSystem system;
    LtcSource source(&loop, &system);
    std::vector<uint8_t> bytes;
    for (int16_t s : samples) {
        bytes.push_back(uint8_t(s & 0xFF));
        bytes.push_back(uint8_t((s >> 8) & 0xFF));
    }
    const uint32_t chunk = 1 + (mode >> 1) * 7u;
    for (size_t at = 0; at < bytes.size(); at += chunk) {
        const uint32_t n = uint32_t(std::min<size_t>(chunk, bytes.size() - at));
        source.OnAudio(bytes.data() + at, n);
    }
    Timecode t = source.GetTime();
    Require(t.hours <= 23 && t.minutes <= 59 && t.seconds <= 59 && t.frames <= 39);
    return 0;
}
