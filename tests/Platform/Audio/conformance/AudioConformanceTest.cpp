// What every audio backend does alike, from its devices to its units' callbacks.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <vector>

#include "tests/Platform/Audio/conformance/AudioDriver.h"

namespace {

using audiotest::AudioDriver;
using plat::AudioScope;

struct Backend {
    const char* name;
    std::unique_ptr<AudioDriver> (*make)();
};

class AudioConformance : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override {
        driver = GetParam().make();
        std::string why;
        if (!driver->Ready(why)) GTEST_SKIP() << why;
        ASSERT_TRUE(driver->AddPlaybackDevice("ConfOut"));
        ASSERT_TRUE(driver->AddCaptureDevice("ConfIn"));
        out = plat::FindAudioDevice(Sys(), "ConfOut");
        in = plat::FindAudioDevice(Sys(), "ConfIn");
        ASSERT_NE(out, 0u);
        ASSERT_NE(in, 0u);
    }
    plat::AudioSystem& Sys() { return driver->System(); }

    std::unique_ptr<AudioDriver> driver;
    plat::AudioDeviceID out = 0, in = 0;
};

TEST_P(AudioConformance, DevicesHaveTheirSidesAndNoSubDevices) {
    EXPECT_EQ(Sys().StreamCount(out, AudioScope::kOutput), 1u);
    EXPECT_GE(Sys().StreamCount(out, AudioScope::kInput), 1u);
    EXPECT_GE(Sys().StreamCount(in, AudioScope::kInput), 1u);
    EXPECT_EQ(Sys().StreamCount(in, AudioScope::kOutput), 0u);
    EXPECT_NE(out, in);
    std::string name;
    ASSERT_TRUE(Sys().GetDeviceName(out, name));
    EXPECT_EQ(name, "ConfOut");
    double rate = 0;
    EXPECT_TRUE(Sys().GetNominalRate(in, rate));
    EXPECT_GT(rate, 0);
    EXPECT_TRUE(Sys().SubDevices(out).empty());
    EXPECT_FALSE(Sys().GetDeviceName(0, name));
}

TEST_P(AudioConformance, TheDefaultOutputIsSetAndReadBackAsTheOutsideSeesIt) {
    ASSERT_TRUE(Sys().SetDefaultDevice(AudioScope::kOutput, out));
    EXPECT_EQ(Sys().DefaultDevice(AudioScope::kOutput), out);
    EXPECT_EQ(driver->OutsideDefaultOutput(), "ConfOut");
    EXPECT_FALSE(Sys().SetDefaultDevice(AudioScope::kOutput, in));
    EXPECT_EQ(Sys().DefaultDevice(AudioScope::kOutput), out);
    ASSERT_TRUE(Sys().SetDefaultDevice(AudioScope::kInput, in));
    EXPECT_EQ(Sys().DefaultDevice(AudioScope::kInput), in);
}

TEST_P(AudioConformance, InputVolumeRoundTripsOnTheMasterAndOneChannel) {
    ASSERT_TRUE(Sys().SetVolume(in, AudioScope::kInput, 1, 0.25f));
    float v = 0;
    ASSERT_TRUE(Sys().GetVolume(in, AudioScope::kInput, 1, v));
    EXPECT_NEAR(v, 0.25f, 0.001f);
    if (Sys().SetVolume(in, AudioScope::kInput, 0, 0.6f)) {
        ASSERT_TRUE(Sys().GetVolume(in, AudioScope::kInput, 0, v));
        EXPECT_NEAR(v, 0.6f, 0.001f);
    }
    EXPECT_FALSE(Sys().GetVolume(in, AudioScope::kInput, 33, v));
}

struct CaptureCounter {
    plat::AudioCaptureUnit* unit = nullptr;
    uint32_t frameBytes = 0;
    std::atomic<uint64_t> frames{0};
    std::atomic<uint32_t> errors{0};
    std::vector<uint8_t> buffer = std::vector<uint8_t>(1 << 20);
    static int Callback(void* self, uint32_t frames) {
        auto* c = static_cast<CaptureCounter*>(self);
        if (uint64_t(frames) * c->frameBytes > c->buffer.size()) {
            ++c->errors;
            return 0;
        }
        if (c->unit->Render(c->buffer.data(), frames) != 0) ++c->errors;
        c->frames += frames;
        return 0;
    }
};

TEST_P(AudioConformance, CaptureCallsBackWithWholeFramesUntilStopped) {
    auto unit = Sys().NewCaptureUnit();
    ASSERT_NE(unit, nullptr);
    ASSERT_TRUE(unit->SetDevice(out));  // a device with both sides captures its input side
    double rate = 0;
    ASSERT_TRUE(Sys().GetNominalRate(out, rate));
    plat::AudioFormat format{rate, 2, 16, true, false};
    ASSERT_TRUE(unit->SetClientFormat(format));
    plat::AudioFormat back;
    ASSERT_TRUE(unit->GetClientFormat(back));
    EXPECT_EQ(back.BytesPerFrame(), 4u);
    EXPECT_EQ(back.rate, rate);
    CaptureCounter counter;
    counter.unit = unit.get();
    counter.frameBytes = 4;
    unit->SetInputCallback(&counter, CaptureCounter::Callback);
    ASSERT_TRUE(unit->Initialize());
    ASSERT_TRUE(unit->Start());
    EXPECT_TRUE(driver->RunCapture(*unit, [&] { return counter.frames >= uint64_t(rate / 10); }));
    unit->Stop();
    const uint64_t stopped = counter.frames;
    driver->Idle(*unit);
    EXPECT_EQ(counter.frames, stopped);
    EXPECT_EQ(counter.errors, 0u);
    // Rendering outside a callback is refused.
    uint8_t frame[4];
    EXPECT_NE(unit->Render(frame, 1), 0);
    unit->Uninitialize();
}

TEST_P(AudioConformance, CaptureStopsWhenItsDeviceVanishes) {
    auto unit = Sys().NewCaptureUnit();
    ASSERT_TRUE(unit->SetDevice(in));
    double rate = 0;
    ASSERT_TRUE(Sys().GetNominalRate(in, rate));
    ASSERT_TRUE(unit->SetClientFormat(plat::AudioFormat{rate, 1, 16, true, false}));
    CaptureCounter counter;
    counter.unit = unit.get();
    counter.frameBytes = 2;
    unit->SetInputCallback(&counter, CaptureCounter::Callback);
    ASSERT_TRUE(unit->Initialize());
    ASSERT_TRUE(unit->Start());
    EXPECT_TRUE(driver->RunCapture(*unit, [&] { return counter.frames > 0; }));
    ASSERT_TRUE(driver->RemoveDevice("ConfIn"));
    driver->Idle(*unit);
    const uint64_t gone = counter.frames;
    driver->Idle(*unit);
    EXPECT_EQ(counter.frames, gone);
    EXPECT_EQ(plat::FindAudioDevice(Sys(), "ConfIn"), 0u);
    auto again = Sys().NewCaptureUnit();
    EXPECT_FALSE(again->SetDevice(in));
    unit->Stop();
    unit->Uninitialize();
}

struct OutputCounter {
    uint32_t maxFrames = 0;
    std::atomic<uint32_t> calls{0};
    std::atomic<uint32_t> tooLarge{0};
    static int Render(void* self, plat::AudioBuffer& buffer, uint32_t frames) {
        auto* c = static_cast<OutputCounter*>(self);
        if (frames > c->maxFrames || buffer.bytes < frames * 4u) ++c->tooLarge;
        if (++c->calls % 2) {
            buffer.bytes = 0;
            return -39;  // no data: silence
        }
        std::memset(buffer.data, 0x11, frames * 4u);
        buffer.bytes = frames * 4u;
        return 0;
    }
};

TEST_P(AudioConformance, OutputPullsSlicesFromTheRenderCallback) {
    ASSERT_TRUE(Sys().SetDefaultDevice(AudioScope::kOutput, out));
    for (plat::AudioDeviceID device : {plat::AudioDeviceID(0), out}) {
        SCOPED_TRACE(device ? "named device" : "default output");
        auto unit = Sys().NewOutputUnit();
        ASSERT_NE(unit, nullptr);
        ASSERT_TRUE(unit->SetDevice(device));
        plat::AudioFormat deviceFormat;
        ASSERT_TRUE(unit->GetDeviceFormat(deviceFormat));
        EXPECT_GT(deviceFormat.rate, 0);
        ASSERT_TRUE(unit->SetInputFormat(plat::AudioFormat{deviceFormat.rate, 2, 16, true, false}));
        OutputCounter counter;
        ASSERT_TRUE(unit->GetMaximumFramesPerSlice(counter.maxFrames));
        EXPECT_GT(counter.maxFrames, 0u);
        unit->SetRenderCallback(&counter, OutputCounter::Render);
        ASSERT_TRUE(unit->Initialize());
        ASSERT_TRUE(unit->Start());
        EXPECT_TRUE(driver->RunOutput(*unit, [&] { return counter.calls >= 3; }));
        unit->Stop();
        unit->Uninitialize();
        EXPECT_EQ(counter.tooLarge, 0u);
    }
    auto unit = Sys().NewOutputUnit();
    EXPECT_FALSE(unit->SetDevice(in));  // no output side
}

TEST_P(AudioConformance, FormatsOutsideIntegerPcmAreRefused) {
    auto unit = Sys().NewCaptureUnit();
    ASSERT_TRUE(unit->SetDevice(in));
    EXPECT_FALSE(unit->SetClientFormat(plat::AudioFormat{44100, 0, 16, true, false}));
    EXPECT_FALSE(unit->SetClientFormat(plat::AudioFormat{44100, 1, 0, true, false}));
    EXPECT_FALSE(unit->SetClientFormat(plat::AudioFormat{44100, 1, 33, true, false}));
    EXPECT_TRUE(unit->SetClientFormat(plat::AudioFormat{44100, 1, 16, true, true}));
}

struct RateCalls {
    std::atomic<int> calls{0};
    std::atomic<plat::AudioDeviceID> device{0};
    static void Changed(void* self, plat::AudioDeviceID device) {
        auto* r = static_cast<RateCalls*>(self);
        r->device = device;
        ++r->calls;
    }
};

TEST_P(AudioConformance, RateListenersHearChangesUntilRemoved) {
    RateCalls calls;
    EXPECT_FALSE(Sys().AddRateListener(0, RateCalls::Changed, &calls));
    ASSERT_TRUE(Sys().AddRateListener(in, RateCalls::Changed, &calls));
    ASSERT_TRUE(Sys().AddRateListener(in, RateCalls::Changed, &calls));  // once only
    // Other changes of the device call nobody.
    ASSERT_TRUE(Sys().SetVolume(in, AudioScope::kInput, 1, 0.5f));
    driver->Idle(*Sys().NewCaptureUnit());
    EXPECT_EQ(calls.calls, 0);
    if (!driver->ChangeRate("ConfIn", 96000)) {
        Sys().RemoveRateListener(in, RateCalls::Changed, &calls);
        GTEST_SKIP() << "this backend's devices keep their rate";
    }
    ASSERT_TRUE(driver->RunCapture(*Sys().NewCaptureUnit(), [&] { return calls.calls > 0; }));
    EXPECT_EQ(calls.calls, 1);
    EXPECT_EQ(calls.device, in);
    double rate = 0;
    ASSERT_TRUE(Sys().GetNominalRate(in, rate));
    EXPECT_EQ(rate, 96000);
    Sys().RemoveRateListener(in, RateCalls::Changed, &calls);
    ASSERT_TRUE(driver->ChangeRate("ConfIn", 48000));
    EXPECT_EQ(calls.calls, 1);
}

INSTANTIATE_TEST_SUITE_P(Backends, AudioConformance,
                         ::testing::Values(Backend{"fake", audiotest::MakeFakeDriver},
                                           Backend{"pulse", audiotest::MakePulseDriver}),
                         [](const ::testing::TestParamInfo<Backend>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
