// LtcDecoder and LtcSource against libltc's encoder: WAV files of known times, variants made by sox,
// and the same signal played into a private PulseAudio server (tests/support/PulseServer).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Lib3/LSources/CoreData/LAsyncMainLoop.h"
#include "Lib3/LSources/CoreData/LAsyncWorkerLoop.h"
#include "Orbilume/CSources/Sound/LtcDecoder.h"
#include "Orbilume/CSources/Sound/LtcSource.h"
#include "Platform/Audio/pulse/PulseAudioSystem.h"
#include "Platform/Foundation/RunLoop.h"
#include "tests/Orbilume/CSources/Sound/LtcGenerator.h"
#include "tests/support/PulseServer.h"
#include "tests/support/TempDir.h"

namespace {

using ltcpeer::Time;

Time ToTime(const Timecode& t) {
    return {t.hours, t.minutes, t.seconds, t.frames};
}

std::string Str(const Time& t) {
    char b[32];
    std::snprintf(b, sizeof b, "%02d:%02d:%02d:%02d", t.h, t.m, t.s, t.f);
    return b;
}

std::vector<Time> Decode(const std::vector<int16_t>& samples, uint32_t* completed = nullptr) {
    LtcDecoder d;
    std::vector<Time> out;
    for (int16_t s : samples) {
        if (!d.Feed(s)) continue;
        if (completed) ++*completed;
        Timecode t;
        if (LtcDecoder::DecodeFrame(d.Bytes(), t)) out.push_back(ToTime(t));
    }
    return out;
}

// Where each decoded time sits among the encoded ones; -1 for a time that was never encoded.
std::vector<int> Positions(const std::vector<Time>& decoded, const std::vector<Time>& encoded) {
    std::vector<int> at;
    for (const Time& t : decoded) {
        int found = -1;
        for (size_t i = 0; i < encoded.size(); ++i)
            if (encoded[i] == t) found = int(i);
        at.push_back(found);
    }
    return at;
}

bool HaveSox() {
    return std::system("command -v sox >/dev/null") == 0;
}

struct LtcPeerTest : ::testing::Test {
    testsupport::TempDir dir;
    std::vector<int16_t> samples;
    std::vector<Time> times;
    static constexpr Time kStart{10, 59, 58, 0};
    static constexpr uint32_t kFrames = 250;  // 10 s

    void SetUp() override {
#ifdef ORBILUME_NO_LIBLTC
        GTEST_SKIP() << "libltc (libltc-dev) is not installed";
#endif
        ASSERT_TRUE(ltcpeer::Generate(kStart, kFrames, 48000, -20, samples, times));
        ASSERT_EQ(times.size(), kFrames);
        ASSERT_TRUE(ltcpeer::WriteWav(dir.File("ltc.wav"), samples, 48000));
    }
    // The WAV through a sox effect chain, read back as 16-bit mono.
    std::vector<int16_t> Variant(const std::string& effects, const std::string& extraInput = "") {
        std::vector<int16_t> out;
        const std::string to = dir.File("variant.wav");
        std::string cmd =
            "sox " + extraInput + " '" + dir.File("ltc.wav") + "' -b 16 '" + to + "' " + effects;
        EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
        EXPECT_TRUE(ltcpeer::ReadThroughSox(to, out));
        return out;
    }
};

TEST_F(LtcPeerTest, DecodesTheEncodedTimesAfterTheFirstSyncWord) {
    std::vector<Time> got = Decode(samples);
    // The first frame has no sync word before it, and the mean interval warms up over it, so the
    // decoder locks at the first or second sync word; from there every frame decodes, in order.
    ASSERT_GE(got.size(), kFrames - 2);
    const size_t first = kFrames - got.size();
    for (size_t i = 0; i < got.size(); ++i) ASSERT_EQ(got[i], times[first + i]) << i << " " << Str(got[i]);
    EXPECT_EQ(Str(got.back()), "11:00:07:24");
}

TEST_F(LtcPeerTest, SoxVariantsDecodeToEncodedTimes) {
    if (!HaveSox()) GTEST_SKIP() << "sox is not installed";
    std::vector<int16_t> noise;
    {
        const std::string n = dir.File("noise.wav");
        ASSERT_EQ(
            std::system(("sox -n -r 48000 -c 1 -b 16 '" + n + "' synth 10 whitenoise vol 0.02").c_str()), 0);
    }
    struct Case {
        const char* what;
        std::string effects;
        std::string extraInput;
        size_t atLeast;  // frames decoded
    } cases[] = {
        {"as written", "", "", kFrames - 2},
        {"resampled to 44.1 kHz", "rate 44100", "", kFrames - 2},
        {"at -40 dBFS", "vol -20dB", "", kFrames - 2},
        {"with noise at -34 dBFS", "", "-m '" + dir.File("noise.wav") + "'", kFrames - 10},
        {"with silent gaps", "pad 0.5@3 0.3@6", "", kFrames - 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<Time> got = Decode(Variant(c.effects, c.extraInput));
        EXPECT_GE(got.size(), c.atLeast);
        // Never a time that was not encoded, and always forward.
        std::vector<int> at = Positions(got, times);
        for (size_t i = 0; i < at.size(); ++i) {
            ASSERT_GE(at[i], 1) << Str(got[i]);
            if (i > 0) {
                ASSERT_GT(at[i], at[i - 1]) << Str(got[i]);
            }
        }
    }
}

TEST_F(LtcPeerTest, ReversedCopyNeverPublishes) {
    if (!HaveSox()) GTEST_SKIP() << "sox is not installed";
    std::vector<int16_t> reversed = Variant("reverse");
    ASSERT_GT(reversed.size(), 48000u * 9);
    uint32_t completed = 0;
    EXPECT_TRUE(Decode(reversed, &completed).empty());
    EXPECT_EQ(completed, 0u);

    // Through the source too: no notification, the time stays at zero.
    LAsyncMainLoop loop;
    LtcSource src(&loop, nullptr);
    int notified = 0;
    auto listener = [](void* n, TimecodeSource*) { ++*static_cast<int*>(n); };
    src.AddListener(&notified, listener);
    std::vector<uint8_t> bytes;
    for (int16_t s : reversed) {
        bytes.push_back(uint8_t(s & 0xFF));
        bytes.push_back(uint8_t((s >> 8) & 0xFF));
    }
    for (size_t at = 0; at < bytes.size(); at += 960)
        src.OnAudio(bytes.data() + at, uint32_t(std::min<size_t>(960, bytes.size() - at)));
    EXPECT_EQ(notified, 0);
    EXPECT_EQ(src.GetTime().Format(), "00:00:00:00");
    src.RemoveListener(&notified, listener);
}

// LTC played into "Speakers" with paplay, read by LtcSource from its monitor on a worker loop.
TEST_F(LtcPeerTest, PlayedIntoSpeakersDrivesTheSourceAndItsListeners) {
    if (!HaveSox() || std::system("command -v paplay >/dev/null") != 0)
        GTEST_SKIP() << "sox or paplay is not installed";
    testsupport::PulseServer server;
    if (!server.Ok()) GTEST_SKIP() << server.Why();
    std::unique_ptr<plat::PulseAudioSystem> sys = plat::PulseAudioSystem::Connect("orbilume-ltc-test");
    ASSERT_NE(sys, nullptr);

    auto loop = std::make_unique<LAsyncWorkerLoop>(nullptr);
    struct Heard {
        std::mutex mutex;
        std::vector<Time> times;
    } heard;
    auto listener = [](void* h, TimecodeSource* source) {
        auto* hh = static_cast<Heard*>(h);
        Time t = ToTime(source->GetTime());
        std::lock_guard<std::mutex> lock(hh->mutex);
        hh->times.push_back(t);
    };
    {
        LtcSource src(loop.get(), sys.get());
        src.AddListener(&heard, listener);
        SoundInputSpec spec;
        spec.device = LString("Speakers");
        ASSERT_TRUE(src.Open(spec));
        EXPECT_EQ(src.Converter().Stride(), 2u);
        // The first 4 s.
        const std::string wav = dir.File("ltc-4s.wav");
        ASSERT_TRUE(ltcpeer::WriteWav(wav, std::vector<int16_t>(samples.begin(), samples.begin() + 48000 * 4),
                                      48000));
        ASSERT_EQ(std::system(("paplay --device=" + std::string(testsupport::PulseServer::kSpeakers) + " '" +
                               wav + "'")
                                  .c_str()),
                  0);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_GT(src.LevelDb(), -60);
        src.Close();
        src.RemoveListener(&heard, listener);
    }
    loop.reset();
    std::lock_guard<std::mutex> lock(heard.mutex);
    // The monitor resamples to the server's 44.1 kHz; most frames still arrive, in order, as encoded.
    ASSERT_GE(heard.times.size(), 50u);
    std::vector<int> at = Positions(heard.times, times);
    for (size_t i = 0; i < at.size(); ++i) {
        ASSERT_GE(at[i], 1) << Str(heard.times[i]);
        if (i > 0) {
            ASSERT_GT(at[i], at[i - 1]);
        }
    }
}

}  // namespace
