#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "Orbilume/CSources/Engine/CCtlInHub.h"
#include "Orbilume/CSources/Midi/MidiInMessage.h"
#include "Orbilume/CSources/Osc/OscArg.h"
#include "Orbilume/CSources/Osc/OscPattern.h"
#include "tests/support/FakeSoundSource.h"

namespace {

std::vector<uint8_t> Frame(std::initializer_list<uint8_t> slots) {
    std::vector<uint8_t> f{0};
    f.insert(f.end(), slots);
    return f;
}

void Send(CCtlInHub& hub, const std::vector<uint8_t>& frame) {
    hub.DmxIn(frame.data(), static_cast<uint32_t>(frame.size()));
}

TEST(CCtlInHub, ThresholdPercentages) {
    CCtlInHub hub;
    const std::pair<uint32_t, uint8_t> rows[] = {{0, 0},    {1, 3},     {50, 128},
                                                 {99, 252}, {100, 255}, {250, 255}};
    for (auto [percent, threshold] : rows) {
        hub.SetDmxThreshold(percent);
        EXPECT_EQ(hub.DmxThreshold(), threshold) << percent;
    }
}

TEST(CCtlInHub, DmxThresholdRescaleAndHold) {
    CCtlInHub hub;
    hub.SetDmxThreshold(50);  // 128
    // Each step: input of slot 1, expected value.
    struct Step {
        uint8_t in, out;
    };
    const Step steps[] = {{128, 0}, {129, 2}, {200, 145}, {255, 255}, {200, 145}, {100, 1},
                          {65, 1},  {64, 0},  {100, 0},   {130, 4},   {0, 0}};
    for (const Step& s : steps) {
        Send(hub, Frame({s.in}));
        EXPECT_EQ(hub.DmxValue(0), s.out) << int(s.in);
    }
    hub.SetDmxThreshold(0);
    for (int v : {0, 1, 77, 254, 255}) {
        Send(hub, Frame({uint8_t(v)}));
        EXPECT_EQ(hub.DmxValue(0), v);
    }
    hub.SetDmxThreshold(100);  // nothing is above: a channel that was on holds 1 down to half
    Send(hub, Frame({255}));
    EXPECT_EQ(hub.DmxValue(0), 1);
    Send(hub, Frame({127}));
    EXPECT_EQ(hub.DmxValue(0), 0);
    Send(hub, Frame({255}));
    EXPECT_EQ(hub.DmxValue(0), 0);
}

int gDmxCalls = 0;
void CountDmx(void*) {
    ++gDmxCalls;
}

TEST(CCtlInHub, FramesOfAnyLength) {
    CCtlInHub hub;
    gDmxCalls = 0;
    ASSERT_TRUE(hub.AddDmxListener(CountDmx, nullptr));
    std::vector<uint8_t> full(600);
    for (size_t i = 0; i < full.size(); ++i) full[i] = uint8_t(i % 251 + 1);
    full[0] = 0;
    Send(hub, full);  // longer than 513: 512 values
    for (uint32_t i = 0; i < 512; ++i) ASSERT_EQ(hub.DmxValue(i), full[i + 1]) << i;
    EXPECT_EQ(hub.DmxValue(512), 0);
    const uint8_t before = hub.DmxValue(0);
    hub.DmxIn(full.data(), 1);  // start code only
    hub.DmxIn(full.data(), 0);  // nothing at all
    hub.DmxIn(nullptr, 0);
    EXPECT_EQ(hub.DmxValue(0), before);
    std::vector<uint8_t> two = Frame({9, 8});
    Send(hub, two);
    EXPECT_EQ(hub.DmxValue(0), 9);
    EXPECT_EQ(hub.DmxValue(1), 8);
    EXPECT_EQ(hub.DmxValue(2), full[3]);
    EXPECT_EQ(gDmxCalls, 5);  // listeners are called for every frame, empty ones too
}

TEST(CCtlInHub, MidiNotesAndControllers) {
    CCtlInHub hub;
    struct Step {
        uint8_t status, d1, d2;
        uint8_t lastNote, lastVelocity, held;
    };
    const Step steps[] = {
        {0x92, 60, 100, 60, 100, 1},  // note on
        {0x92, 64, 50, 64, 100, 2},   // a softer note keeps the louder velocity while notes are held
        {0x82, 60, 0, 64, 100, 1},    // note off
        {0x82, 60, 0, 64, 100, 1},    // off again: nothing
        {0x92, 64, 0, 64, 100, 0},    // note on with velocity 0 releases
        {0x92, 70, 30, 70, 30, 1},    // nothing held: the new velocity
        {0x92, 70, 90, 70, 90, 1},    // the same note again is not counted twice
        {0x92, 200, 90, 70, 90, 1},   // data byte >= 0x80: no change
        {0x92, 71, 0x80, 70, 90, 1},  // velocity >= 0x80: no change
        {0xE2, 1, 2, 70, 90, 1},      // other messages change nothing
    };
    for (const Step& s : steps) {
        const uint8_t m[3] = {s.status, s.d1, s.d2};
        hub.MidiIn(m);
        EXPECT_EQ(hub.MidiLastNote(2), s.lastNote) << int(s.status) << " " << int(s.d1);
        EXPECT_EQ(hub.MidiLastVelocity(2), s.lastVelocity) << int(s.status) << " " << int(s.d1);
        EXPECT_EQ(hub.MidiHeldCount(2), s.held) << int(s.status) << " " << int(s.d1);
    }
    EXPECT_EQ(hub.MidiNote(2, 60), 100);  // velocity kept, bit 7 clear
    EXPECT_EQ(hub.MidiNote(2, 64), 50);
    EXPECT_EQ(hub.MidiNote(2, 70), 0x80 | 90);
    EXPECT_EQ(hub.MidiHeldCount(0), 0);

    MidiInMessage cc;
    cc.status = 0xB5, cc.data1 = 7, cc.data2 = 99;
    hub.MidiIn(cc);
    EXPECT_EQ(hub.MidiCc(5, 7), 99);
    const uint8_t bad[3] = {0xB5, 0x87, 1};
    hub.MidiIn(bad);
    EXPECT_EQ(hub.MidiCc(5, 7), 99);
    EXPECT_EQ(hub.MidiCc(16, 7), 0);
    EXPECT_EQ(hub.MidiNote(2, 128), 0);

    hub.ResetMidi();
    EXPECT_EQ(hub.MidiHeldCount(2), 0);
    EXPECT_EQ(hub.MidiNote(2, 70), 90);
    EXPECT_EQ(hub.MidiLastNote(2), 70);
    EXPECT_EQ(hub.MidiCc(5, 7), 99);
}

TEST(CCtlInHub, EveryStatusAndDataByteIsBounded) {
    CCtlInHub hub;
    int calls = 0;
    ASSERT_TRUE(hub.AddMidiListener([](void* c, const uint8_t*) { ++*static_cast<int*>(c); }, &calls));
    for (int s = 0; s < 256; ++s)
        for (int d : {0, 1, 127, 128, 255}) {
            const uint8_t m[3] = {uint8_t(s), uint8_t(d), uint8_t(255 - d)};
            hub.MidiIn(m);
        }
    EXPECT_EQ(calls, 256 * 5);
    for (uint32_t c = 0; c < 16; ++c) EXPECT_LE(hub.MidiHeldCount(c), 128);
}

struct Recorder {
    CCtlInHub* hub = nullptr;
    std::vector<std::vector<uint8_t>> midi;
    int dmx = 0;
    bool removeSelf = false;
    static void Dmx(void* c) {
        auto* r = static_cast<Recorder*>(c);
        ++r->dmx;
        if (r->removeSelf) {
            EXPECT_TRUE(r->hub->RemoveDmxListener(Dmx, r));
        }
    }
    static void Midi(void* c, const uint8_t m[3]) {
        auto* r = static_cast<Recorder*>(c);
        r->midi.push_back({m[0], m[1], m[2]});
        // The listeners run before the state changes.
        if (m[0] == 0xB0 && r->midi.size() == 1) {
            EXPECT_EQ(r->hub->MidiCc(0, m[1]), 0);
        }
        if (r->removeSelf) {
            EXPECT_TRUE(r->hub->RemoveMidiListener(Midi, r));
        }
    }
    static void Osc(void* c, OscPattern& p, const OscArg* args, uint32_t count) {
        auto* r = static_cast<Recorder*>(c);
        if (p.IsMatch("/fader/1") && count == 1) r->midi.push_back({uint8_t(args[0].value.i)});
        if (r->removeSelf) {
            EXPECT_TRUE(r->hub->RemoveOscListener(Osc, r));
        }
    }
};

TEST(CCtlInHub, ListenersMayRemoveThemselvesWhileCalled) {
    CCtlInHub hub;
    Recorder a, b, c;
    for (Recorder* r : {&a, &b, &c}) {
        r->hub = &hub;
        ASSERT_TRUE(hub.AddDmxListener(Recorder::Dmx, r));
        ASSERT_TRUE(hub.AddMidiListener(Recorder::Midi, r));
        ASSERT_TRUE(hub.AddOscListener(Recorder::Osc, r));
    }
    EXPECT_FALSE(hub.AddDmxListener(Recorder::Dmx, &a));  // no duplicates
    b.removeSelf = true;
    Send(hub, Frame({1}));
    Send(hub, Frame({2}));
    EXPECT_EQ(a.dmx, 2);
    EXPECT_EQ(b.dmx, 1);
    EXPECT_EQ(c.dmx, 2);

    const uint8_t m[3] = {0xB0, 3, 4};
    hub.MidiIn(m);
    hub.MidiIn(m);
    EXPECT_EQ(a.midi.size(), 2u);
    EXPECT_EQ(b.midi.size(), 1u);
    EXPECT_EQ(c.midi.size(), 2u);

    OscPattern pattern;
    pattern.Compile("/fader/*");
    const OscArg args[] = {OscArg::Int(42)};
    hub.NotifyOsc(pattern, args, 1);
    hub.NotifyOsc(pattern, args, 1);
    EXPECT_EQ(a.midi.back(), std::vector<uint8_t>{42});
    EXPECT_EQ(a.midi.size(), 4u);
    EXPECT_EQ(b.midi.size(), 2u);
    EXPECT_EQ(c.midi.size(), 4u);

    EXPECT_TRUE(hub.RemoveDmxListener(Recorder::Dmx, &a));
    EXPECT_FALSE(hub.RemoveDmxListener(Recorder::Dmx, &a));
}

TEST(CCtlInHub, AdaptersForTheMergeAndTheMidiCallback) {
    CCtlInHub hub;
    const uint8_t frame[] = {0, 10, 20};
    CCtlInHub::DmxSink(&hub, DmxInSource{}, frame, 3);
    EXPECT_EQ(hub.DmxValue(1), 20);
    MidiInMessage m;
    m.status = 0xB1, m.data1 = 2, m.data2 = 3;
    CCtlInHub::MidiProc(&hub, &m);
    CCtlInHub::MidiProc(&hub, nullptr);
    EXPECT_EQ(hub.MidiCc(1, 2), 3);

    EXPECT_EQ(CCtlInHub::Global(), nullptr);
    {
        CCtlInHub global;
        CCtlInHub::SetGlobal(&global);
        EXPECT_EQ(CCtlInHub::Global(), &global);
    }
    EXPECT_EQ(CCtlInHub::Global(), nullptr);  // a hub that goes clears the pointer to it
}

class SpectrumTest : public ::testing::Test {
protected:
    std::vector<float> Levels() {
        std::vector<float> out(16, -1);
        hub.Spectrum(out.data());
        return out;
    }
    testsupport::FakeSoundSource sound;
    CCtlInHub hub{&sound};
};

// Band b covers bins s_b .. s_b + b: 1, 2-3, 4-6, 7-10, 11-15, 16-21, ...
uint32_t BandOfBin(uint32_t bin) {
    uint32_t s = 1;
    for (uint32_t b = 0; b < 16; ++b) {
        const uint32_t last = std::min<uint32_t>(s + b, 127);
        if (bin <= last) return b;
        s = last + 1;
    }
    return 15;
}

TEST_F(SpectrumTest, SinesGiveLevelsInTheirBands) {
    struct Row {
        double amplitude;
        uint32_t bin;
        bool stereo;
        float low, high;
    };
    const Row rows[] = {
        {1.0, 20, true, 0.88f, 0.92f},  {1.0, 1, true, 0.88f, 0.92f}, {1.0, 120, true, 0.88f, 0.92f},
        {1.0, 40, false, 0.83f, 0.87f}, {0.1, 9, true, 0.55f, 0.59f}, {0.001, 30, true, 0.0f, 0.0f},
        {0.0005, 30, true, 0.0f, 0.0f},
    };
    for (const Row& r : rows) {
        sound.WriteSine(r.amplitude, r.bin, 256, r.stereo);
        std::vector<float> levels = Levels();
        sound.Consume();
        const uint32_t band = BandOfBin(r.bin);
        for (uint32_t b = 0; b < 16; ++b) {
            if (b == band) {
                EXPECT_GE(levels[b], r.low) << "bin " << r.bin << " amplitude " << r.amplitude;
                EXPECT_LE(levels[b], r.high) << "bin " << r.bin << " amplitude " << r.amplitude;
            } else {
                EXPECT_LT(levels[b], 0.05f) << "band " << b << " for bin " << r.bin;
            }
        }
    }
}

TEST_F(SpectrumTest, SilenceAndNoNewSamples) {
    sound.Ring().newSamples = 1;  // 0 frames available
    EXPECT_EQ(Levels(), std::vector<float>(16, 0));
    sound.WriteSine(0, 5, 256);
    EXPECT_EQ(Levels(), std::vector<float>(16, 0));
    sound.Consume();

    sound.WriteSine(1, 20, 256);
    const std::vector<float> first = Levels();
    EXPECT_GT(first[5], 0.8f);
    // Without the flag the stored levels come back, even when the ring changed.
    sound.Ring().frames[0][0] = 0;
    sound.Ring().readIndex = sound.Ring().writeIndex;
    EXPECT_EQ(Levels(), first);
    EXPECT_EQ(sound.Ring().newSamples, 0);
}

TEST_F(SpectrumTest, MoreFramesThanTheRingReadsTheNewest256) {
    sound.WriteSine(1, 20, 256);
    const std::vector<float> full = Levels();
    sound.Consume();
    // The source reports 1000 frames: the newest 256 are analysed, nothing past the tables.
    sound.WriteSine(1, 20, 1000);
    sound.Ring().readIndex = uint16_t(sound.Ring().writeIndex - 1000);
    const std::vector<float> many = Levels();
    for (uint32_t b = 0; b < 16; ++b) EXPECT_NEAR(many[b], full[b], 0.02f) << b;
    // Indices that wrapped around 65535 count the same way.
    sound.Consume();
    sound.Ring().writeIndex = 10;
    sound.Ring().readIndex = 65530;
    sound.Ring().newSamples = 1;
    std::vector<float> wrapped = Levels();
    for (float v : wrapped) EXPECT_LE(v, 1.0f);
}

TEST_F(SpectrumTest, FewFramesAreZeroPadded) {
    sound.WriteSine(1, 32, 128);
    std::vector<float> half = Levels();
    EXPECT_GT(half[BandOfBin(32)], 0.7f);
    EXPECT_LT(half[BandOfBin(32)], 0.9f);
}

TEST(CCtlInHub, NoSoundSourceGivesZeros) {
    CCtlInHub hub;
    std::vector<float> out(16, -1);
    hub.Spectrum(out.data());
    EXPECT_EQ(out, std::vector<float>(16, 0));
}

// Frames, MIDI and readers from several threads at once (run under ThreadSanitizer to check the
// relaxed atomics and the mutex).
TEST(CCtlInHub, InputsFromManyThreads) {
    CCtlInHub hub;
    std::atomic<int> dmxCalls{0};
    ASSERT_TRUE(hub.AddDmxListener([](void* c) { ++*static_cast<std::atomic<int>*>(c); }, &dmxCalls));
    std::atomic<bool> stop{false};
    std::thread reader([&] {
        uint32_t sum = 0;
        while (!stop.load()) {
            for (uint32_t i = 0; i < 512; ++i) sum += hub.DmxValue(i);
            for (uint32_t n = 0; n < 128; ++n) sum += hub.MidiNote(3, n) + hub.MidiCc(3, n);
        }
        EXPECT_GE(sum, 0u);
    });
    std::thread dmx([&] {
        std::vector<uint8_t> frame(513);
        for (int i = 0; i < 200; ++i) {
            for (auto& b : frame) b = uint8_t(i);
            frame[0] = 0;
            hub.DmxIn(frame.data(), 513);
        }
    });
    std::thread midi([&] {
        for (int i = 0; i < 2000; ++i) {
            const uint8_t on[3] = {0x93, uint8_t(i & 127), uint8_t(i % 127 + 1)};
            const uint8_t off[3] = {0x83, uint8_t(i & 127), 0};
            hub.MidiIn(on);
            hub.MidiIn(off);
        }
    });
    std::thread reset([&] {
        for (int i = 0; i < 200; ++i) hub.ResetMidi();
    });
    dmx.join();
    midi.join();
    reset.join();
    stop.store(true);
    reader.join();
    EXPECT_EQ(dmxCalls.load(), 200);
    EXPECT_EQ(hub.MidiHeldCount(3), 0);
    EXPECT_EQ(hub.DmxValue(511), 199);
}

}  // namespace
