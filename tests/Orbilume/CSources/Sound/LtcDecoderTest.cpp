#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>

#include "Lib3/LSources/CoreData/LAsyncMainLoop.h"
#include "Orbilume/CSources/Sound/LtcDecoder.h"
#include "Orbilume/CSources/Sound/LtcSource.h"
#include "Platform/Audio/fake/FakeAudioSystem.h"
#include "Platform/Foundation/RunLoop.h"
#include "tests/Orbilume/CSources/Sound/LtcTestSignal.h"

namespace {

using ltctest::BiphaseWriter;
using ltctest::MakeFrame;

std::vector<uint8_t> Le16(const std::vector<int16_t>& samples) {
    std::vector<uint8_t> out;
    for (int16_t s : samples) {
        out.push_back(uint8_t(s & 0xFF));
        out.push_back(uint8_t((s >> 8) & 0xFF));
    }
    return out;
}

std::vector<Timecode> DecodeAll(LtcDecoder& d, const std::vector<int16_t>& samples,
                                uint32_t* completed = nullptr) {
    std::vector<Timecode> out;
    for (int16_t s : samples) {
        if (!d.Feed(s)) continue;
        if (completed) ++*completed;
        Timecode t;
        if (LtcDecoder::DecodeFrame(d.Bytes(), t)) out.push_back(t);
    }
    return out;
}

Timecode Tc(uint8_t h, uint8_t m, uint8_t s, uint8_t f) {
    Timecode t;
    t.Init(30);
    t.Set(h, m, s, f);
    return t;
}

TEST(LtcDecoderTest, FrameChecksDropOutOfRangeFieldsAndKeepTheTime) {
    struct Case {
        const char* what;
        ltctest::Frame frame;
        bool valid;
    } cases[] = {
        {"23:59:59:29", MakeFrame(23, 59, 59, 29), true},  {"00:00:00:00", MakeFrame(0, 0, 0, 0), true},
        {"hours 24", MakeFrame(24, 0, 0, 0), false},       {"hours tens 3", MakeFrame(30, 0, 0, 0), false},
        {"seconds tens 6", MakeFrame(0, 0, 60, 0), false}, {"minutes tens 6", MakeFrame(0, 60, 0, 0), false},
        {"frame tens 3", MakeFrame(0, 0, 0, 30), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Timecode t = Tc(1, 2, 3, 4);
        EXPECT_EQ(LtcDecoder::DecodeFrame(c.frame.bytes, t), c.valid);
        if (!c.valid) {
            EXPECT_TRUE(t.Equals(Tc(1, 2, 3, 4)));
        }
    }
    // A units digit above 9 in any field.
    for (int k = 0; k < 8; k += 2) {
        ltctest::Frame f = MakeFrame(0, 0, 0, 0);
        f.bytes[k] = 0x0A;
        Timecode t;
        EXPECT_FALSE(LtcDecoder::DecodeFrame(f.bytes, t)) << "byte " << k;
    }
    // Flags and user bits in the high nibbles and upper bits are ignored; the code stays.
    ltctest::Frame f = MakeFrame(12, 34, 56, 21);
    for (uint8_t& b : f.bytes) b |= 0xF0;
    f.bytes[1] |= 0x0C;
    f.bytes[3] |= 0x08;
    f.bytes[7] |= 0x0C;
    Timecode t;
    t.Init(25);
    ASSERT_TRUE(LtcDecoder::DecodeFrame(f.bytes, t));
    EXPECT_EQ(t.code, 25u);
    EXPECT_EQ(t.Format(), "12:34:56:21");
}

TEST(LtcDecoderTest, HandMadeSignalDecodesAfterTheFirstSyncWord) {
    BiphaseWriter w;
    for (int i = 0; i < 20; ++i) w.Write(MakeFrame(1, 0, i / 25, i % 25));
    LtcDecoder d;
    std::vector<Timecode> got = DecodeAll(d, w.Take());
    ASSERT_FALSE(got.empty());
    // Every decoded time is one that was written, in order.
    uint32_t first = got[0].frames;
    for (size_t i = 0; i < got.size(); ++i) EXPECT_TRUE(got[i].Equals(Tc(1, 0, 0, uint8_t(first + i))));
    EXPECT_GE(got.size(), 15u);
}

TEST(LtcDecoderTest, ReversedSignalNeverCompletesAFrame) {
    BiphaseWriter w;
    for (int i = 0; i < 40; ++i) w.Write(MakeFrame(2, 10, i / 25, i % 25));
    std::vector<int16_t> s = w.Take();
    std::vector<int16_t> reversed(s.rbegin(), s.rend());
    LtcDecoder d;
    uint32_t completed = 0;
    DecodeAll(d, reversed, &completed);
    EXPECT_EQ(completed, 0u);
}

TEST(LtcDecoderTest, SilenceResetsTheBitCounterAtOnce) {
    BiphaseWriter w;
    for (int i = 0; i < 10; ++i) w.Write(MakeFrame(0, 0, 0, uint8_t(i)));
    std::vector<int16_t> s = w.Take();
    LtcDecoder d;
    // Stop in the middle of a frame, with bits counted.
    size_t at = 0;
    for (; at < s.size(); ++at) {
        d.Feed(s[at]);
        if (at > s.size() / 2 && !d.IsHunting() && d.BitCount() > 10) break;
    }
    ASSERT_FALSE(d.IsHunting());
    // Zeros: the level decays; the first sample at or below the threshold resets the counter.
    int samples = 0;
    while (d.Level() > LtcDecoder::kNoSignalLevel) {
        EXPECT_FALSE(d.Feed(0));
        ++samples;
        if (d.Level() > LtcDecoder::kNoSignalLevel) {
            EXPECT_FALSE(d.IsHunting()) << samples;
        }
        ASSERT_LT(samples, 100000);
    }
    EXPECT_TRUE(d.IsHunting());
}

TEST(LtcDecoderTest, BadInputNeverPublishesAValidTime) {
    struct Case {
        const char* what;
        std::vector<int16_t> samples;
    } cases[] = {
        {"DC", std::vector<int16_t>(48000, 20000)},
        {"full-scale square at 1 kHz", {}},
        {"full-scale square at 2 kHz", {}},
        {"noise", {}},
    };
    for (int i = 0; i < 48000; ++i) cases[1].samples.push_back(int16_t((i / 24) % 2 ? 32767 : -32768));
    for (int i = 0; i < 48000; ++i) cases[2].samples.push_back(int16_t((i / 12) % 2 ? 32767 : -32768));
    uint32_t seed = 12345;
    for (int i = 0; i < 96000; ++i) {
        seed = seed * 1103515245u + 12345u;
        cases[3].samples.push_back(int16_t(seed >> 16));
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LtcDecoder d;
        uint32_t completed = 0;
        std::vector<Timecode> got = DecodeAll(d, c.samples, &completed);
        // A lone square wave of one period is all zeros or all ones: never the sync word.
        if (std::string(c.what) != "noise") {
            EXPECT_EQ(completed, 0u);
        }
        EXPECT_TRUE(got.empty());
    }
}

TEST(LtcDecoderTest, LevelDbIsTheLowestIntegerAtSilence) {
    EXPECT_EQ(LtcDecoder::LevelDbOf(0), INT_MIN);
    EXPECT_EQ(LtcDecoder::LevelDbOf(LtcDecoder::kFullScaleLevel), 0);
    EXPECT_EQ(LtcDecoder::LevelDbOf(LtcDecoder::kFullScaleLevel / 10), -20);
    EXPECT_EQ(LtcDecoder::LevelDbOf(1), -126);
    LtcDecoder d;
    EXPECT_EQ(d.LevelDb(), INT_MIN);
    // A full-scale square wave settles near 0 dB.
    for (int i = 0; i < 4800; ++i) d.Feed((i / 24) % 2 ? 32767 : -32767);
    EXPECT_GE(d.LevelDb(), -1);
    EXPECT_LE(d.LevelDb(), 0);
}

TEST(LtcDecoderTest, ResetKeepsTheMeanAndTheDc) {
    BiphaseWriter w;
    for (int i = 0; i < 10; ++i) w.Write(MakeFrame(0, 0, 0, uint8_t(i)));
    LtcDecoder d;
    DecodeAll(d, w.Take());
    d.Reset();
    EXPECT_EQ(d.Level(), 0u);
    EXPECT_TRUE(d.IsHunting());
    // The mean interval survived: the very next frames lock without a warm-up.
    BiphaseWriter w2;
    for (int i = 0; i < 3; ++i) w2.Write(MakeFrame(0, 0, 1, uint8_t(i)));
    std::vector<Timecode> got = DecodeAll(d, w2.Take());
    ASSERT_EQ(got.size(), 2u);
    EXPECT_TRUE(got[0].Equals(Tc(0, 0, 1, 1)));
}

TEST(LtcSourceGainTest, DecibelsToVolumePercent) {
    struct Case {
        int db;
        uint32_t percent;
    } cases[] = {{0, 100}, {-20, 10}, {3, 141}, {-6, 50}, {-40, 1}, {6, 199}, {-200, 0}};
    for (const Case& c : cases) EXPECT_EQ(LtcSource::GainPercent(c.db), c.percent) << c.db;
}

struct LtcSourceTest : ::testing::Test {
    plat::FakeAudioSystem sys;
    LAsyncMainLoop mainLoop;
    plat::AudioDeviceID lineIn = 0;
    std::vector<Timecode> heard;

    void SetUp() override {
        plat::FakeAudioDevice d;
        d.name = "Line In";
        d.rate = 48000;
        d.channelVolumes = {1.0f, 1.0f};
        d.hasMaster = false;
        // Delivers stereo whatever is asked.
        d.adjustsFormat = [](plat::AudioFormat& f) { f.channels = 2; };
        lineIn = sys.Add(d);
        ASSERT_TRUE(sys.SetDefaultDevice(plat::AudioScope::kInput, lineIn));
    }
    static void Heard(void* self, TimecodeSource* source) {
        static_cast<LtcSourceTest*>(self)->heard.push_back(source->GetTime());
    }
    void Turn() {
        for (int i = 0; i < 3; ++i) plat::RunLoop::Main()->RunInMode(plat::kRunLoopDefaultMode, 0, false);
    }
};

TEST_F(LtcSourceTest, ValidFramesPublishOncePerChunkAndBadOnesAreDropped) {
    LtcSource src(&mainLoop, &sys);
    src.AddListener(this, Heard);
    BiphaseWriter w;
    for (int i = 0; i < 12; ++i) w.Write(MakeFrame(1, 0, 0, uint8_t(i)));
    std::vector<uint8_t> warm = Le16(w.Take());
    src.OnAudio(warm.data(), uint32_t(warm.size()));
    // One notification for the whole chunk, with its last frame.
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_TRUE(heard[0].Equals(Tc(1, 0, 0, 11)));

    struct Step {
        ltctest::Frame frame;
        bool published;
        Timecode time;
    } steps[] = {
        {MakeFrame(24, 0, 0, 0), false, Tc(1, 0, 0, 11)},
        {MakeFrame(1, 0, 60, 0), false, Tc(1, 0, 0, 11)},
        {MakeFrame(23, 59, 59, 29), true, Tc(23, 59, 59, 29)},
        {MakeFrame(29, 0, 0, 0), false, Tc(23, 59, 59, 29)},
    };
    for (const Step& s : steps) {
        size_t before = heard.size();
        w.Write(s.frame);
        std::vector<uint8_t> bytes = Le16(w.Take());
        src.OnAudio(bytes.data(), uint32_t(bytes.size()));
        EXPECT_EQ(heard.size(), before + (s.published ? 1 : 0));
        EXPECT_TRUE(src.GetTime().Equals(s.time)) << src.GetTime().Format();
    }
    EXPECT_EQ(src.GetTime().code, 30u);
    src.RemoveListener(this, Heard);
}

TEST_F(LtcSourceTest, OpensMonoSixteenBitAtTheDeviceRateAndMixesWhatArrives) {
    LtcSource src(&mainLoop, &sys);
    src.AddListener(this, Heard);
    ASSERT_TRUE(src.Open(SoundInputSpec()));
    EXPECT_TRUE(src.Open(SoundInputSpec()));  // already open
    ASSERT_EQ(sys.CaptureUnits().size(), 1u);
    plat::FakeCaptureUnit* unit = sys.LastCaptureUnit();
    plat::AudioFormat f;
    ASSERT_TRUE(unit->GetClientFormat(f));
    EXPECT_EQ(f.rate, 48000);
    EXPECT_EQ(f.channels, 2u);
    EXPECT_EQ(f.bits, 16u);
    EXPECT_TRUE(f.isSigned);
    EXPECT_FALSE(f.bigEndian);
    EXPECT_EQ(src.Converter().Stride(), 4u);
    EXPECT_TRUE(unit->started);

    // The signal in the left channel and its negation plus an offset in the right: the mix is half
    // the signal, still decodable.
    BiphaseWriter w;
    for (int i = 0; i < 15; ++i) w.Write(MakeFrame(5, 6, 7, uint8_t(i)));
    std::vector<int16_t> s = w.Take();
    unit->SetGenerator([&s](uint8_t* out, uint64_t first, uint32_t frames, uint32_t) {
        for (uint32_t i = 0; i < frames; ++i) {
            int16_t v = first + i < s.size() ? s[first + i] : 0;
            int16_t r = int16_t(v / 3 + 100);
            out[4 * i] = uint8_t(v & 0xFF);
            out[4 * i + 1] = uint8_t((v >> 8) & 0xFF);
            out[4 * i + 2] = uint8_t(r & 0xFF);
            out[4 * i + 3] = uint8_t((r >> 8) & 0xFF);
        }
    });
    for (size_t done = 0; done < s.size(); done += 480) {
        ASSERT_EQ(unit->Deliver(480), 0);
        Turn();
    }
    ASSERT_FALSE(heard.empty());
    EXPECT_TRUE(heard.back().Equals(Tc(5, 6, 7, 14))) << heard.back().Format();
    EXPECT_GT(src.LevelDb(), -40);

    src.SetGainDb(-20);
    float v = 0;
    EXPECT_TRUE(sys.GetVolume(lineIn, plat::AudioScope::kInput, 1, v));
    EXPECT_NEAR(v, 0.1f, 1e-6);

    src.Close();
    EXPECT_FALSE(src.IsOpen());
    EXPECT_TRUE(sys.CaptureUnits().empty());
    EXPECT_EQ(src.LevelDb(), INT_MIN);
    src.RemoveListener(this, Heard);
}

TEST_F(LtcSourceTest, OpenFailsAndStaysClosedWithoutTheDevice) {
    LtcSource src(&mainLoop, &sys);
    SoundInputSpec spec;
    spec.device = LString("No Such Device");
    EXPECT_FALSE(src.Open(spec));
    EXPECT_FALSE(src.IsOpen());
}

}  // namespace
