// Sound input against a private PulseAudio server (tests/support/PulseServer): null sinks "Speakers"
// and "tessaro Audio Loopback", a null source "Microphone". paplay, parec and pactl act on the same
// server; sox makes the tones and measures what was captured.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "Orbilume/CSources/Sound/CLoopbackCapture.h"
#include "Orbilume/CSources/Sound/SoundInputHolder.h"
#include "Platform/Audio/pulse/PulseAudioSystem.h"
#include "tests/support/CommandOutput.h"
#include "tests/support/PulseServer.h"

namespace {

using plat::AudioScope;
using testsupport::CommandOutput;

SoundInputSpec Spec(const char* device) {
    SoundInputSpec s;
    s.device = LString(device);
    return s;
}

SoundFormat Format(uint8_t channels, uint8_t bits, uint8_t isSigned = 1) {
    SoundFormat f;
    f.rate = 0;
    f.channels = channels;
    f.bits = bits;
    f.isSigned = isSigned;
    return f;
}

struct Capture {
    std::mutex mutex;
    std::vector<int16_t> samples;
    uint32_t partial = 0;
    static void Consume(void* self, const uint8_t* bytes, uint32_t count) {
        auto* c = static_cast<Capture*>(self);
        std::lock_guard<std::mutex> lock(c->mutex);
        if (count % 2) ++c->partial;
        for (uint32_t i = 0; i + 1 < count; i += 2)
            c->samples.push_back(int16_t(bytes[i] | (bytes[i + 1] << 8)));
    }
    size_t Count() {
        std::lock_guard<std::mutex> lock(mutex);
        return samples.size();
    }
    // The part louder than `threshold`, from its first to its last loud sample.
    std::vector<int16_t> Loud(int threshold) {
        std::lock_guard<std::mutex> lock(mutex);
        auto loud = [&](int16_t s) { return std::abs(int(s)) > threshold; };
        auto first = std::find_if(samples.begin(), samples.end(), loud);
        auto last = std::find_if(samples.rbegin(), samples.rend(), loud);
        if (first == samples.end()) return {};
        return std::vector<int16_t>(first, last.base());
    }
};

// sox's statistics of raw signed 16-bit mono samples: {rough frequency, maximum amplitude}.
struct Stats {
    double frequency = 0;
    double amplitude = 0;
};
Stats SoxStats(const std::string& rawFile, uint32_t rate) {
    std::string out = CommandOutput("sox -t raw -r " + std::to_string(rate) + " -e signed -b 16 -c 1 -L " +
                                    rawFile + " -n stat 2>&1");
    Stats s;
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line)) {
        auto value = [&](const char* label, double& into) {
            if (line.rfind(label, 0) == 0) into = std::atof(line.substr(line.find(':') + 1).c_str());
        };
        value("Rough   frequency", s.frequency);
        value("Maximum amplitude", s.amplitude);
    }
    return s;
}

void WriteRaw(const std::string& path, const std::vector<int16_t>& samples) {
    std::ofstream f(path, std::ios::binary);
    for (int16_t s : samples) {
        char b[2] = {char(s & 0xFF), char((s >> 8) & 0xFF)};
        f.write(b, 2);
    }
}

bool WaitFor(const std::function<bool()>& done, double seconds = 5) {
    auto t0 = std::chrono::steady_clock::now();
    while (!done()) {
        if (std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count() > seconds)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

bool HaveSoxAndPaplay() {
    return std::system("command -v sox >/dev/null && command -v paplay >/dev/null") == 0;
}

struct PulsePeerTest : ::testing::Test {
    testsupport::PulseServer server;
    std::unique_ptr<plat::PulseAudioSystem> sys;

    void SetUp() override {
        if (!server.Ok()) GTEST_SKIP() << server.Why();
        sys = plat::PulseAudioSystem::Connect("orbilume-test");
        ASSERT_NE(sys, nullptr);
    }
    std::string Pactl(const std::string& args) { return CommandOutput("pactl " + args + " 2>&1"); }
    // A tone of `seconds` at `hz` and half of full scale, played on a sink with paplay.
    bool PlayTone(const char* sink, int hz, double seconds) {
        const std::string wav = server.Dir().File("tone.wav");
        std::string make = "sox -n -r 44100 -c 1 -b 16 " + wav + " synth " + std::to_string(seconds) +
                           " sine " + std::to_string(hz) + " vol 0.5";
        if (std::system(make.c_str()) != 0) return false;
        return std::system(("paplay --device=" + std::string(sink) + " " + wav).c_str()) == 0;
    }
};

TEST_F(PulsePeerTest, ListsSinksWithTheirMonitorAsInputAndSourcesAsInputOnly) {
    struct Case {
        const char* name;
        uint32_t inputs, outputs;
    } cases[] = {
        {"Speakers", 1, 1},
        {"tessaro Audio Loopback", 1, 1},
        {"Microphone", 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        plat::AudioDeviceID id = plat::FindAudioDevice(*sys, c.name);
        ASSERT_NE(id, 0u);
        EXPECT_EQ(sys->StreamCount(id, AudioScope::kInput), c.inputs);
        EXPECT_EQ(sys->StreamCount(id, AudioScope::kOutput), c.outputs);
        double rate = 0;
        EXPECT_TRUE(sys->GetNominalRate(id, rate));
        EXPECT_EQ(rate, 44100);
        EXPECT_FALSE(sys->SetNominalRate(id, 48000));
        EXPECT_TRUE(sys->SubDevices(id).empty());
    }
    // Monitors are the sinks' input sides, not devices of their own.
    EXPECT_EQ(sys->Devices().size(), 3u);
    EXPECT_EQ(plat::FindAudioDevice(*sys, "Monitor of Speakers"), 0u);
}

TEST_F(PulsePeerTest, DefaultsSetThroughTheStandInShowInPactl) {
    plat::AudioDeviceID speakers = plat::FindAudioDevice(*sys, "Speakers");
    plat::AudioDeviceID loopback = plat::FindAudioDevice(*sys, "tessaro Audio Loopback");
    plat::AudioDeviceID mic = plat::FindAudioDevice(*sys, "Microphone");
    EXPECT_EQ(sys->DefaultDevice(AudioScope::kOutput), speakers);
    EXPECT_EQ(sys->DefaultDevice(AudioScope::kInput), mic);

    ASSERT_TRUE(sys->SetDefaultDevice(AudioScope::kOutput, loopback));
    ASSERT_TRUE(sys->SetDefaultDevice(AudioScope::kInput, speakers));
    std::string info = Pactl("info");
    EXPECT_NE(info.find("Default Sink: loopback"), std::string::npos) << info;
    EXPECT_NE(info.find("Default Source: speakers.monitor"), std::string::npos) << info;
    EXPECT_EQ(sys->DefaultDevice(AudioScope::kOutput), loopback);
    EXPECT_EQ(sys->DefaultDevice(AudioScope::kInput), speakers);
    EXPECT_FALSE(sys->SetDefaultDevice(AudioScope::kOutput, mic));  // a source has no output side

    // And the other way round: pactl's change is what the stand-in reads.
    Pactl("set-default-sink speakers");
    EXPECT_EQ(sys->DefaultDevice(AudioScope::kOutput), speakers);

    // An empty device name opens the default input.
    SoundInputHolder holder(nullptr, sys.get());
    ASSERT_EQ(holder.Open(Spec(""), Format(1, 16)), 0);
    EXPECT_EQ(holder.Input()->Device(), speakers);
}

TEST_F(PulsePeerTest, CapturesAToneFromSpeakersWithItsFrequencyAndLevel) {
    if (!HaveSoxAndPaplay()) GTEST_SKIP() << "sox or paplay is not installed";
    SoundInputHolder holder(nullptr, sys.get());
    ASSERT_EQ(holder.Open(Spec("Speakers"), Format(1, 16)), 0);
    EXPECT_EQ(holder.GetFormat().rate, 44100u);
    Capture capture;
    holder.SetConsumer(&capture, Capture::Consume);
    holder.Start();
    ASSERT_TRUE(PlayTone("speakers", 1000, 1.0));
    ASSERT_TRUE(WaitFor([&] { return capture.Loud(4000).size() > 40000; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    holder.Close();
    EXPECT_EQ(capture.partial, 0u);

    std::vector<int16_t> tone = capture.Loud(4000);
    ASSERT_GT(tone.size(), 40000u);
    // The middle, away from the tone's edges.
    std::vector<int16_t> middle(tone.begin() + 2000, tone.end() - 2000);
    const std::string raw = server.Dir().File("captured.raw");
    WriteRaw(raw, middle);
    Stats s = SoxStats(raw, 44100);
    EXPECT_NEAR(s.frequency, 1000, 20);
    EXPECT_NEAR(s.amplitude, 0.5, 0.02);
}

TEST_F(PulsePeerTest, VolumeOfTheInputSideReadsAndSetsThePulseVolume) {
    SoundInputHolder holder(nullptr, sys.get());
    ASSERT_EQ(holder.Open(Spec("Speakers"), Format(2, 16)), 0);
    EXPECT_EQ(holder.GetVolume(), 100u);
    holder.SetVolume(40);
    EXPECT_NE(Pactl("get-source-volume speakers.monitor").find("40%"), std::string::npos);
    EXPECT_EQ(holder.GetVolume(), 40u);
    Pactl("set-source-volume speakers.monitor 70% 30%");
    EXPECT_EQ(holder.GetVolume(), 50u);  // the master is the channels' average
    float left = 0;
    ASSERT_TRUE(sys->GetVolume(holder.Input()->Device(), AudioScope::kInput, 1, left));
    EXPECT_NEAR(left, 0.70, 0.01);
    float third = 0;
    EXPECT_FALSE(sys->GetVolume(holder.Input()->Device(), AudioScope::kInput, 3, third));
}

TEST_F(PulsePeerTest, FormatsPulseCannotDeliverAreRefused) {
    struct Case {
        SoundFormat format;
        int result;
    } cases[] = {
        {Format(1, 16), 0},   {Format(2, 24), 0},    {Format(2, 32), 0}, {Format(1, 8, 0), 0},
        {Format(1, 8, 1), 1}, {Format(1, 16, 0), 1}, {Format(1, 12), 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.format.bits) << " bits, signed " << int(c.format.isSigned));
        SoundInputHolder holder(nullptr, sys.get());
        EXPECT_EQ(holder.Open(Spec("Microphone"), c.format), c.result);
    }
}

TEST_F(PulsePeerTest, AVanishingDeviceStopsCaptureAndTheNextOpenFails) {
    SoundInputHolder holder(nullptr, sys.get());
    ASSERT_EQ(holder.Open(Spec("tessaro Audio Loopback"), Format(2, 16)), 0);
    Capture capture;
    holder.SetConsumer(&capture, Capture::Consume);
    holder.Start();
    ASSERT_TRUE(WaitFor([&] { return capture.Count() > 4000; }));  // a null sink's monitor gives silence
    std::string modules = Pactl("list short modules");
    std::istringstream in(modules);
    std::string line, index;
    while (std::getline(in, line))
        if (line.find("sink_name=loopback") != std::string::npos) index = line.substr(0, line.find('\t'));
    ASSERT_FALSE(index.empty()) << modules;
    Pactl("unload-module " + index);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    size_t after = capture.Count();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(capture.Count(), after);
    holder.Close();
    EXPECT_EQ(holder.Open(Spec("tessaro Audio Loopback"), Format(2, 16)), 1);
    EXPECT_FALSE(holder.IsOpen());
}

TEST_F(PulsePeerTest, ThruPlaysTheCapturedToneOnTheDefaultOutput) {
    if (!HaveSoxAndPaplay() || std::system("command -v parec >/dev/null") != 0)
        GTEST_SKIP() << "sox, paplay or parec is not installed";
    plat::AudioDeviceID loopback = plat::FindAudioDevice(*sys, "tessaro Audio Loopback");
    ASSERT_TRUE(sys->SetDefaultDevice(AudioScope::kOutput, loopback));
    SoundInputHolder holder(nullptr, sys.get());
    ASSERT_EQ(holder.Open(Spec("Speakers"), Format(1, 16)), 0);
    holder.Start();
    holder.SetThru(true);
    ASSERT_TRUE(holder.Input()->IsThruRunning());
    EXPECT_NE(Pactl("list sink-inputs").find("Orbilume sound output"), std::string::npos);

    // Record what reaches the loopback sink while the tone plays on Speakers.
    const std::string recorded = server.Dir().File("thru.raw");
    const std::string rec =
        "timeout 3.5 parec --device=loopback.monitor --format=s16le --rate=44100 "
        "--channels=1 --raw " +
        recorded;
    std::thread recorder([&] { (void)std::system(rec.c_str()); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    bool played = PlayTone("speakers", 440, 2.0);
    recorder.join();
    holder.Close();
    ASSERT_TRUE(played);

    std::ifstream f(recorded, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    Capture heard;
    Capture::Consume(&heard, reinterpret_cast<const uint8_t*>(bytes.data()),
                     uint32_t(bytes.size() & ~size_t(1)));
    std::vector<int16_t> tone = heard.Loud(4000);
    ASSERT_GT(tone.size(), 30000u) << "loud samples of the 2 s tone that came through";
    std::vector<int16_t> middle(tone.begin() + 2000, tone.end() - 2000);
    const std::string raw = server.Dir().File("thru-middle.raw");
    WriteRaw(raw, middle);
    Stats s = SoxStats(raw, 44100);
    EXPECT_NEAR(s.frequency, 440, 15);
    EXPECT_NEAR(s.amplitude, 0.5, 0.03);
}

// The loopback capture: Start makes the loopback sink the default, what plays to the default sink
// comes out on Speakers (its monitor recorded by parec), and Stop puts Speakers back.
TEST_F(PulsePeerTest, LoopbackCaptureRoutesTheDefaultOutputThroughToSpeakers) {
    if (!HaveSoxAndPaplay() || std::system("command -v parec >/dev/null") != 0)
        GTEST_SKIP() << "sox, paplay or parec is not installed";
    CLoopbackCapture capture(sys.get());
    capture.Start();
    ASSERT_TRUE(capture.IsCapturing());
    EXPECT_EQ(capture.PreviousOutputName(), "Speakers");
    std::string info = Pactl("info");
    EXPECT_NE(info.find("Default Sink: loopback"), std::string::npos) << info;

    const std::string recorded = server.Dir().File("loopback.raw");
    const std::string rec =
        "timeout 3.5 parec --device=speakers.monitor --format=s16le --rate=44100 "
        "--channels=1 --raw " +
        recorded;
    std::thread recorder([&] { (void)std::system(rec.c_str()); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    // To the default sink, whatever it is.
    const std::string wav = server.Dir().File("tone-default.wav");
    bool played =
        std::system(("sox -n -r 44100 -c 1 -b 16 " + wav + " synth 2 sine 660 vol 0.5").c_str()) == 0 &&
        std::system(("paplay " + wav).c_str()) == 0;
    recorder.join();
    capture.Stop();
    ASSERT_TRUE(played);
    info = Pactl("info");
    EXPECT_NE(info.find("Default Sink: speakers"), std::string::npos) << info;

    std::ifstream f(recorded, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    Capture heard;
    Capture::Consume(&heard, reinterpret_cast<const uint8_t*>(bytes.data()),
                     uint32_t(bytes.size() & ~size_t(1)));
    std::vector<int16_t> tone = heard.Loud(4000);
    ASSERT_GT(tone.size(), 30000u) << "loud samples of the 2 s tone that came through";
    std::vector<int16_t> middle(tone.begin() + 2000, tone.end() - 2000);
    const std::string raw = server.Dir().File("loopback-middle.raw");
    WriteRaw(raw, middle);
    Stats st = SoxStats(raw, 44100);
    EXPECT_NEAR(st.frequency, 660, 20);
}

}  // namespace
