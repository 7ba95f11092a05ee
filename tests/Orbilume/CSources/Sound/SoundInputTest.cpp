#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "Lib3/LSources/CoreData/LAsyncMainLoop.h"
#include "Lib3/LSources/CoreData/LAsyncWorkerLoop.h"
#include "Orbilume/CSources/Sound/SoundInput.h"
#include "Orbilume/CSources/Sound/SoundInputHolder.h"
#include "Platform/Audio/fake/FakeAudioSystem.h"
#include "Platform/Foundation/RunLoop.h"

namespace {

using plat::FakeAudioDevice;
using plat::FakeAudioSystem;
using plat::FakeCaptureUnit;

SoundInputSpec Spec(const char* device, const char* source = "") {
    SoundInputSpec s;
    s.device = LString(device);
    s.source = LString(source);
    return s;
}

SoundFormat Format(uint32_t rate, uint8_t channels, uint8_t bits, uint8_t isSigned = 1,
                   uint8_t bigEndian = 0) {
    SoundFormat f;
    f.rate = rate;
    f.channels = channels;
    f.bits = bits;
    f.isSigned = isSigned;
    f.bigEndian = bigEndian;
    return f;
}

// Collects what the consumer is given, and checks every frame is whole and follows the last one.
struct Collector {
    uint32_t frameBytes = 4;
    std::vector<uint8_t> bytes;
    std::vector<uint32_t> callSizes;
    std::mutex mutex;

    static void Consume(void* self, const uint8_t* data, uint32_t count) {
        auto* c = static_cast<Collector*>(self);
        std::lock_guard<std::mutex> lock(c->mutex);
        c->callSizes.push_back(count);
        c->bytes.insert(c->bytes.end(), data, data + count);
    }
    uint64_t Frames() {
        std::lock_guard<std::mutex> lock(mutex);
        return bytes.size() / frameBytes;
    }
    // The frame numbers written by FakeCaptureUnit::CountingFrames; -1 for a damaged frame.
    std::vector<int64_t> Numbers() {
        std::lock_guard<std::mutex> lock(mutex);
        return Decode(bytes, frameBytes);
    }
    static std::vector<int64_t> Decode(const std::vector<uint8_t>& bytes, uint32_t frameBytes) {
        std::vector<int64_t> out;
        std::vector<uint8_t> expect(frameBytes);
        for (size_t at = 0; at + frameBytes <= bytes.size(); at += frameBytes) {
            uint64_t n = 0;
            for (uint32_t b = 0; b < frameBytes && b < 4; ++b) n |= uint64_t(bytes[at + b]) << (8 * b);
            FakeCaptureUnit::CountingFrames(expect.data(), n, 1, frameBytes);
            out.push_back(std::memcmp(expect.data(), &bytes[at], frameBytes) == 0 ? int64_t(n) : -1);
        }
        return out;
    }
};

// first, first + 1, ... (modulo the counter's width in the frame)
::testing::AssertionResult Consecutive(const std::vector<int64_t>& numbers, int64_t first, uint64_t modulo) {
    for (size_t i = 0; i < numbers.size(); ++i) {
        int64_t want = int64_t((uint64_t(first) + i) % modulo);
        if (numbers[i] != want)
            return ::testing::AssertionFailure() << "frame " << i << " is " << numbers[i] << ", not " << want;
    }
    return ::testing::AssertionSuccess();
}

struct SoundInputTest : ::testing::Test {
    FakeAudioSystem sys;
    plat::AudioDeviceID mic = 0, usb = 0, speakers = 0;
    LAsyncMainLoop mainLoop;

    void SetUp() override {
        FakeAudioDevice m;
        m.name = "Built-in Microphone";
        m.rate = 48000;
        m.inputSources = {"Internal", "Line In"};
        mic = sys.Add(m);
        FakeAudioDevice u;
        u.name = "USB Audio";
        u.rate = 44100;
        usb = sys.Add(u);
        FakeAudioDevice s;
        s.name = "Speakers";
        s.inputStreams = 0;
        s.outputStreams = 1;
        speakers = sys.Add(s);
        ASSERT_TRUE(sys.SetDefaultDevice(plat::AudioScope::kInput, mic));
        ASSERT_TRUE(sys.SetDefaultDevice(plat::AudioScope::kOutput, speakers));
    }
    FakeCaptureUnit* Unit() { return sys.LastCaptureUnit(); }
    // Lets the main run loop deliver the input's signal.
    void Turn() {
        for (int i = 0; i < 3; ++i) plat::RunLoop::Main()->RunInMode(plat::kRunLoopDefaultMode, 0, false);
    }
};

TEST_F(SoundInputTest, PicksTheDeviceByNameOrTheDefaultInput) {
    struct Case {
        const char* name;
        int result;
        plat::AudioDeviceID* device;
    } cases[] = {
        {"", 0, &mic},
        {"USB Audio", 0, &usb},
        {"Built-in Microphone", 0, &mic},
        {"Nothing Of That Name", 1, nullptr},
        {"Speakers", 1, nullptr},  // no input streams
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SoundInput in(nullptr, &sys);
        EXPECT_EQ(in.Open(Spec(c.name), Format(0, 1, 16)), c.result);
        EXPECT_EQ(in.IsOpen(), c.result == 0);
        if (c.device) {
            EXPECT_EQ(in.Device(), *c.device);
        }
    }
}

TEST_F(SoundInputTest, TheFirstDeviceOfTheNameWithInputIsChosen) {
    FakeAudioDevice outOnly;
    outOnly.name = "Twin";
    outOnly.inputStreams = 0;
    outOnly.outputStreams = 2;
    sys.Add(outOnly);
    FakeAudioDevice withInput;
    withInput.name = "Twin";
    plat::AudioDeviceID second = sys.Add(withInput);
    sys.Add(withInput);
    SoundInput in(nullptr, &sys);
    ASSERT_EQ(in.Open(Spec("Twin"), Format(0, 1, 16)), 0);
    EXPECT_EQ(in.Device(), second);
}

TEST_F(SoundInputTest, FailsWithoutDevicesOrDefaultInput) {
    FakeAudioSystem empty;
    SoundInput none(nullptr, &empty);
    EXPECT_EQ(none.Open(Spec(""), Format(0, 1, 16)), 1);

    sys.Remove(mic);  // the default input goes with it
    SoundInput noDefault(nullptr, &sys);
    EXPECT_EQ(noDefault.Open(Spec(""), Format(0, 1, 16)), 1);
    EXPECT_EQ(noDefault.Open(Spec("USB Audio"), Format(0, 1, 16)), 0);
}

TEST_F(SoundInputTest, RateFollowsTheDevice) {
    struct Case {
        const char* name;
        uint32_t requested;
        bool settable, readable;
        uint32_t rate;
    } cases[] = {
        {"0 keeps the device's", 0, true, true, 48000},
        {"a settable device takes the request", 96000, true, true, 96000},
        {"a refusing device keeps its own", 96000, false, true, 48000},
        {"an unreadable rate gives 44100", 0, true, false, 44100},
        {"unreadable after a request", 32000, true, false, 44100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeAudioDevice* d = sys.Device(mic);
        d->rate = 48000;
        d->rateSettable = c.settable;
        d->rateReadable = c.readable;
        SoundInput in(nullptr, &sys);
        ASSERT_EQ(in.Open(Spec(""), Format(c.requested, 1, 16)), 0);
        EXPECT_EQ(in.Format().rate, c.rate);
    }
}

TEST_F(SoundInputTest, TheActualFormatGivesTheFrameSizeAndOversizedFramesAreRefused) {
    struct Case {
        SoundFormat format;
        int result;
        uint32_t frameBytes;
    } cases[] = {
        {Format(0, 2, 16, 1, 0), 0, 4},   {Format(0, 2, 24, 1, 0), 0, 6},
        {Format(0, 1, 8, 0, 0), 0, 1},    {Format(0, 3, 12, 1, 1), 0, 6},
        {Format(0, 16, 32, 1, 0), 0, 64}, {Format(0, 17, 32, 1, 0), 1, 0},  // 68 bytes per frame
        {Format(0, 0, 16, 1, 0), 1, 0},   {Format(0, 1, 0, 1, 0), 1, 0},
        {Format(0, 1, 33, 1, 0), 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.format.channels) << " x " << int(c.format.bits));
        SoundInput in(nullptr, &sys);
        ASSERT_EQ(in.Open(Spec(""), c.format), c.result);
        if (c.result != 0) continue;
        EXPECT_EQ(in.BytesPerFrame(), c.frameBytes);
        EXPECT_EQ(in.Format().channels, c.format.channels);
        EXPECT_EQ(in.Format().bits, c.format.bits);
        EXPECT_EQ(in.Format().isSigned, c.format.isSigned);
        EXPECT_EQ(in.Format().bigEndian, c.format.bigEndian);
    }
}

TEST_F(SoundInputTest, TheFormatReadBackIsTheActualOneAndIsCheckedToo) {
    struct Case {
        const char* name;
        std::function<void(plat::AudioFormat&)> adjust;
        int result;
        SoundFormat actual;
    } cases[] = {
        {"more channels", [](plat::AudioFormat& f) { f.channels = 4; }, 0, Format(48000, 4, 16)},
        {"a fractional rate is truncated", [](plat::AudioFormat& f) { f.rate = 44099.9; }, 0,
         Format(44099, 2, 16)},
        {"big-endian unsigned", [](plat::AudioFormat& f) { f.isSigned = false, f.bigEndian = true; }, 0,
         Format(48000, 2, 16, 0, 1)},
        {"frames too large", [](plat::AudioFormat& f) { f.channels = 24, f.bits = 32; }, 1, SoundFormat()},
        {"no channels", [](plat::AudioFormat& f) { f.channels = 0; }, 1, SoundFormat()},
        {"bits past 32", [](plat::AudioFormat& f) { f.bits = 40; }, 1, SoundFormat()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sys.Device(mic)->adjustsFormat = c.adjust;
        SoundInput in(nullptr, &sys);
        ASSERT_EQ(in.Open(Spec(""), Format(0, 2, 16)), c.result);
        if (c.result == 0) {
            EXPECT_EQ(in.Format(), c.actual);
            EXPECT_EQ(in.BytesPerFrame(), c.actual.BytesPerFrame());
        }
    }
}

TEST_F(SoundInputTest, SelectsTheDataSourceByName) {
    {
        SoundInput in(nullptr, &sys);
        ASSERT_EQ(in.Open(Spec("", "Line In"), Format(0, 1, 16)), 0);
        EXPECT_EQ(sys.Device(mic)->currentSource, 1);
    }
    sys.Device(mic)->currentSource = -1;
    SoundInput in(nullptr, &sys);
    ASSERT_EQ(in.Open(Spec("", "No Such Source"), Format(0, 1, 16)), 0);
    EXPECT_EQ(sys.Device(mic)->currentSource, -1);
}

TEST_F(SoundInputTest, RefusalsFailTheOpenAndLeaveTheUnitUninitialised) {
    struct Case {
        const char* name;
        bool FakeAudioSystem::*knob;
    } cases[] = {
        {"device refused", &FakeAudioSystem::refuseCurrentDevice},
        {"format not read back", &FakeAudioSystem::failClientFormatReadBack},
        {"initialisation refused", &FakeAudioSystem::refuseInitialize},
        {"no capture unit", &FakeAudioSystem::refuseCaptureUnit},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sys.*c.knob = true;
        SoundInput in(nullptr, &sys);
        EXPECT_EQ(in.Open(Spec(""), Format(0, 1, 16)), 1);
        EXPECT_FALSE(in.IsOpen());
        if (FakeCaptureUnit* u = Unit()) {
            EXPECT_FALSE(u->initialized);
        }
        sys.*c.knob = false;
    }
    sys.Device(mic)->acceptsFormat = [](const plat::AudioFormat& f) { return f.bits == 16; };
    SoundInput in(nullptr, &sys);
    EXPECT_EQ(in.Open(Spec(""), Format(0, 1, 24)), 1);
    EXPECT_EQ(in.Open(Spec(""), Format(0, 1, 16)), 0);
}

TEST_F(SoundInputTest, OpeningAnOpenInputChangesNothing) {
    SoundInput in(nullptr, &sys);
    ASSERT_EQ(in.Open(Spec(""), Format(0, 1, 16)), 0);
    EXPECT_EQ(in.Open(Spec("USB Audio"), Format(0, 2, 24)), 0);
    EXPECT_EQ(in.Device(), mic);
    EXPECT_EQ(in.BytesPerFrame(), 2u);
}

TEST_F(SoundInputTest, WithoutALoopTheConsumerGetsEachCallbackOnTheAudioThread) {
    SoundInput in(nullptr, &sys);
    ASSERT_EQ(in.Open(Spec(""), Format(0, 2, 16)), 0);
    Collector c;
    in.SetConsumer(&c, Collector::Consume);
    in.Start();
    EXPECT_EQ(Unit()->Deliver(0), 0);
    for (uint32_t frames : {1u, 480u, 4096u, 20000u})  // the last is larger than the ring
        EXPECT_EQ(Unit()->Deliver(frames), 0);
    EXPECT_EQ(c.callSizes, (std::vector<uint32_t>{4, 480 * 4, 4096 * 4, 20000 * 4}));
    EXPECT_TRUE(Consecutive(c.Numbers(), 0, 1ull << 32));
    // Beyond what the scratch buffer may grow to (16 MiB): dropped whole, no error.
    EXPECT_EQ(Unit()->Deliver(5000000), 0);
    EXPECT_EQ(c.callSizes.size(), 4u);
    EXPECT_EQ(Unit()->Deliver(1), 0);
    EXPECT_EQ(c.callSizes.size(), 5u);
}

TEST_F(SoundInputTest, ThreeByteStereoFramesNeverStraddleTheRingsEnd) {
    SoundInput in(&mainLoop, &sys);
    ASSERT_EQ(in.Open(Spec(""), Format(0, 2, 24)), 0);
    ASSERT_EQ(in.BytesPerFrame(), 6u);
    Collector c;
    c.frameBytes = 6;
    in.SetConsumer(&c, Collector::Consume);
    in.Start();
    // 32768 is not a multiple of 6: the ring's last 2 bytes are skipped on every lap.
    uint32_t delivered = 0;
    for (int i = 0; i < 150; ++i) {
        uint32_t frames = 37 + 101 * (i % 7);
        ASSERT_EQ(Unit()->Deliver(frames), 0);
        delivered += frames;
        if (i % 3 == 2) Turn();
    }
    Turn();
    ASSERT_GT(uint64_t(delivered) * 6, 4u * SoundInput::kRingSize);
    for (uint32_t size : c.callSizes) EXPECT_EQ(size % 6, 0u);
    EXPECT_EQ(c.Frames(), delivered);
    EXPECT_TRUE(Consecutive(c.Numbers(), 0, 1ull << 32));
}

TEST_F(SoundInputTest, ASlowConsumerLosesTheNewestWholeFramesOnly) {
    SoundInput in(&mainLoop, &sys);
    ASSERT_EQ(in.Open(Spec(""), Format(0, 2, 24)), 0);
    Collector c;
    c.frameBytes = 6;
    in.SetConsumer(&c, Collector::Consume);
    in.Start();
    for (int i = 0; i < 10; ++i) ASSERT_EQ(Unit()->Deliver(1000), 0);  // 60000 bytes, nobody reading
    Turn();
    const uint32_t fit = SoundInput::kRingSize / 6;  // 5461 whole frames
    EXPECT_EQ(c.Frames(), fit);
    EXPECT_TRUE(Consecutive(c.Numbers(), 0, 1ull << 32));
    // After the consumer caught up, new audio arrives again; what was dropped stays dropped.
    ASSERT_EQ(Unit()->Deliver(100), 0);
    Turn();
    std::vector<int64_t> numbers = c.Numbers();
    ASSERT_EQ(numbers.size(), fit + 100);
    EXPECT_TRUE(Consecutive(std::vector<int64_t>(numbers.begin() + fit, numbers.end()), 10000, 1ull << 32));
}

TEST_F(SoundInputTest, ACallbackLargerThanTheRingKeepsTheOldestPartThatFits) {
    SoundInput in(&mainLoop, &sys);
    ASSERT_EQ(in.Open(Spec(""), Format(0, 2, 16)), 0);
    Collector c;
    in.SetConsumer(&c, Collector::Consume);
    in.Start();
    ASSERT_EQ(Unit()->Deliver(10000), 0);  // 40000 bytes
    Turn();
    EXPECT_EQ(c.Frames(), SoundInput::kRingSize / 4);
    EXPECT_TRUE(Consecutive(c.Numbers(), 0, 1ull << 32));
}

TEST_F(SoundInputTest, ARenderErrorIsReturnedAndNothingDelivered) {
    SoundInput in(nullptr, &sys);
    ASSERT_EQ(in.Open(Spec(""), Format(0, 1, 16)), 0);
    Collector c;
    in.SetConsumer(&c, Collector::Consume);
    in.Start();
    sys.renderError = -10863;
    EXPECT_EQ(Unit()->Deliver(100), -10863);
    EXPECT_EQ(Unit()->Deliver(20000), -10863);  // through the scratch buffer
    EXPECT_TRUE(c.callSizes.empty());
}

TEST_F(SoundInputTest, AVanishedDeviceStopsCaptureAndCannotBeOpenedAgain) {
    SoundInput in(nullptr, &sys);
    ASSERT_EQ(in.Open(Spec("USB Audio"), Format(0, 1, 16)), 0);
    in.Start();
    sys.Remove(usb);
    EXPECT_EQ(Unit()->Deliver(10), -1);
    in.Close();
    EXPECT_EQ(in.Open(Spec("USB Audio"), Format(0, 1, 16)), 1);
}

TEST_F(SoundInputTest, StartNeedsAnOpenInputAndCloseStopsTheUnit) {
    SoundInput in(nullptr, &sys);
    in.Start();
    EXPECT_FALSE(Unit()->started);
    ASSERT_EQ(in.Open(Spec(""), Format(0, 1, 16)), 0);
    in.Start();
    EXPECT_TRUE(Unit()->started);
    in.Close();
    EXPECT_FALSE(Unit()->started);
    EXPECT_FALSE(Unit()->initialized);
}

// Play-through

struct ThruTest : SoundInputTest {
    plat::FakeOutputUnit* Output() { return sys.LastOutputUnit(); }
};

TEST_F(ThruTest, PlaysWholeSlicesThroughTheDefaultOutputAndSilenceWhenShort) {
    SoundInput in(nullptr, &sys);
    ASSERT_EQ(in.Open(Spec(""), Format(0, 2, 24)), 0);
    in.Start();
    in.SetThru(true);
    ASSERT_TRUE(in.IsThruRunning());
    ASSERT_NE(Output(), nullptr);
    EXPECT_EQ(Output()->device, 0u);  // the default output
    EXPECT_TRUE(Output()->started);
    EXPECT_EQ(Output()->format.BytesPerFrame(), 6u);

    ASSERT_EQ(Unit()->Deliver(50), 0);
    EXPECT_EQ(Output()->Pull(100), SoundInput::kNoData);
    EXPECT_EQ(Output()->silentSlices, 1u);
    ASSERT_EQ(Unit()->Deliver(50), 0);
    EXPECT_EQ(Output()->Pull(100), 0);
    // Many laps of the ring with frames of 6 bytes.
    uint32_t pulled = 100;
    for (int i = 0; i < 200; ++i) {
        ASSERT_EQ(Unit()->Deliver(441), 0);
        ASSERT_EQ(Output()->Pull(441), 0);
        pulled += 441;
    }
    std::vector<int64_t> played = Collector::Decode(Output()->played, 6);
    EXPECT_EQ(played.size(), pulled);
    EXPECT_TRUE(Consecutive(played, 0, 1ull << 32));
}

TEST_F(ThruTest, AskingTwiceKeepsItRunningAndOffOrCloseTearsItDown) {
    SoundInput in(nullptr, &sys);
    in.SetThru(true);  // not open: nothing
    EXPECT_EQ(Output(), nullptr);
    ASSERT_EQ(in.Open(Spec(""), Format(0, 1, 16)), 0);
    in.SetThru(true);
    plat::FakeOutputUnit* first = Output();
    ASSERT_NE(first, nullptr);
    in.SetThru(true);
    EXPECT_TRUE(in.IsThruRunning());
    EXPECT_EQ(sys.OutputUnits().size(), 1u);
    EXPECT_EQ(Output(), first);
    in.SetThru(false);
    EXPECT_FALSE(in.IsThruRunning());
    EXPECT_TRUE(sys.OutputUnits().empty());
    in.SetThru(true);
    EXPECT_TRUE(in.IsThruRunning());
    in.Close();
    EXPECT_FALSE(in.IsThruRunning());
    EXPECT_TRUE(sys.OutputUnits().empty());
}

TEST_F(ThruTest, AnOutputThatCannotStartLeavesThruOff) {
    SoundInput in(nullptr, &sys);
    ASSERT_EQ(in.Open(Spec(""), Format(0, 1, 16)), 0);
    sys.refuseOutputInitialize = true;
    in.SetThru(true);
    EXPECT_FALSE(in.IsThruRunning());
    EXPECT_TRUE(sys.OutputUnits().empty());
    // Without thru the ring's space is the consumer's alone: capture goes on.
    Collector c;
    c.frameBytes = 2;
    in.SetConsumer(&c, Collector::Consume);
    in.Start();
    for (int i = 0; i < 100; ++i) ASSERT_EQ(Unit()->Deliver(1000), 0);
    EXPECT_EQ(c.Frames(), 100000u);
}

// Volume

TEST_F(SoundInputTest, VolumeUsesTheMasterThenChannelsThenOneHalf) {
    struct Case {
        const char* name;
        bool master;
        std::vector<float> channels;
        uint32_t read;
    } cases[] = {
        {"master", true, {0.1f, 0.2f}, 100},
        {"largest channel", false, {0.2f, 0.9f, 0.4f}, 90},
        {"channels past 4 are not read", false, {0.1f, 0.1f, 0.1f, 0.1f, 0.95f}, 10},
        {"neither", false, {}, 50},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeAudioDevice* d = sys.Device(mic);
        d->hasMaster = c.master;
        d->master = 1.0f;
        d->channelVolumes = c.channels;
        SoundInput in(nullptr, &sys);
        EXPECT_EQ(in.GetVolume(), 100u);  // closed: the stored percent
        ASSERT_EQ(in.Open(Spec(""), Format(0, 1, 16)), 0);
        EXPECT_EQ(in.GetVolume(), c.read);
    }
}

TEST_F(SoundInputTest, SetVolumeClampsAndFallsBackToTheChannels) {
    FakeAudioDevice* d = sys.Device(mic);
    SoundInput in(nullptr, &sys);
    in.SetVolume(30);  // closed: stored only
    EXPECT_EQ(d->master, 1.0f);
    EXPECT_EQ(in.GetVolume(), 30u);
    ASSERT_EQ(in.Open(Spec(""), Format(0, 1, 16)), 0);
    in.SetVolume(57);
    EXPECT_FLOAT_EQ(d->master, 0.57f);
    EXPECT_EQ(in.GetVolume(), 57u);
    in.SetVolume(150);
    EXPECT_FLOAT_EQ(d->master, 1.0f);

    d->hasMaster = false;
    d->channelVolumes = {1.0f, 1.0f, 1.0f};
    in.SetVolume(20);
    EXPECT_EQ(d->channelVolumes, (std::vector<float>{0.2f, 0.2f, 0.2f}));
    EXPECT_EQ(in.GetVolume(), 20u);
}

// Holder

TEST_F(SoundInputTest, TheHolderKeepsTheFirstInputAndDropsAFailedOne) {
    SoundInputHolder holder(nullptr, &sys);
    EXPECT_FALSE(holder.IsOpen());
    EXPECT_EQ(holder.Open(Spec("Nothing"), Format(0, 1, 16)), 1);
    EXPECT_EQ(holder.Input(), nullptr);
    EXPECT_TRUE(sys.CaptureUnits().empty());

    ASSERT_EQ(holder.Open(Spec("USB Audio"), Format(0, 2, 16)), 0);
    EXPECT_EQ(holder.Open(Spec(""), Format(0, 1, 8, 0)), 0);
    EXPECT_EQ(holder.Input()->Device(), usb);
    EXPECT_EQ(holder.GetFormat(), Format(44100, 2, 16));
    EXPECT_EQ(sys.CaptureUnits().size(), 1u);

    Collector c;
    holder.SetConsumer(&c, Collector::Consume);
    holder.Start();
    ASSERT_EQ(Unit()->Deliver(10), 0);
    EXPECT_EQ(c.Frames(), 10u);
    holder.Close();
    EXPECT_FALSE(holder.IsOpen());
    EXPECT_TRUE(sys.CaptureUnits().empty());
    ASSERT_EQ(holder.Open(Spec(""), Format(0, 1, 16)), 0);
    EXPECT_EQ(holder.Input()->Device(), mic);
}

// A worker loop as consumer thread: every frame arrives, whole and in order.
TEST_F(SoundInputTest, AWorkerLoopConsumerSeesEveryFrame) {
    auto worker = std::make_unique<LAsyncWorkerLoop>(nullptr);
    {
        SoundInput in(worker.get(), &sys);
        ASSERT_EQ(in.Open(Spec(""), Format(48000, 2, 16)), 0);
        Collector c;
        in.SetConsumer(&c, Collector::Consume);
        in.Start();
        uint64_t delivered = 0;
        for (int i = 0; i < 500; ++i) {
            ASSERT_EQ(Unit()->Deliver(480), 0);
            delivered += 480;
            if (i % 8 == 7) {
                // Keep within the ring: wait until the loop has taken what was sent.
                auto t0 = std::chrono::steady_clock::now();
                while (c.Frames() < delivered &&
                       std::chrono::steady_clock::now() - t0 < std::chrono::seconds(5))
                    std::this_thread::sleep_for(std::chrono::microseconds(100));
            }
        }
        auto t0 = std::chrono::steady_clock::now();
        while (c.Frames() < delivered && std::chrono::steady_clock::now() - t0 < std::chrono::seconds(5))
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        EXPECT_EQ(c.Frames(), delivered);
        EXPECT_TRUE(Consecutive(c.Numbers(), 0, 1ull << 32));
        in.Close();
    }
    worker.reset();
}

}  // namespace
