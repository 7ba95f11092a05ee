#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "Orbilume/CSources/Sound/ByteRing.h"
#include "Orbilume/CSources/Sound/CLoopbackCapture.h"
#include "Platform/Audio/fake/FakeAudioSystem.h"

namespace {

using plat::AudioScope;
using plat::FakeAudioDevice;
using plat::FakeAudioSystem;

std::vector<uint8_t> Bytes(uint32_t n, uint8_t first) {
    std::vector<uint8_t> b(n);
    for (uint32_t i = 0; i < n; ++i) b[i] = uint8_t(first + i);
    return b;
}

TEST(ByteRingTest, WritesWhatFitsAndReadsWholeRequestsAcrossTheEnd) {
    ByteRing ring;
    EXPECT_EQ(ring.Free(), ByteRing::kSize);
    std::vector<uint8_t> a = Bytes(30000, 1);
    EXPECT_EQ(ring.Write(a.data(), uint32_t(a.size())), 30000u);
    std::vector<uint8_t> out(30000);
    ASSERT_TRUE(ring.Read(out.data(), 30000));
    EXPECT_EQ(out, a);
    // Now the data wraps around the end.
    std::vector<uint8_t> b = Bytes(5000, 7);
    EXPECT_EQ(ring.Write(b.data(), 5000), 5000u);
    const uint8_t *p1, *p2;
    uint32_t n1, n2;
    ring.PendingSpans(p1, n1, p2, n2);
    EXPECT_EQ(n1, ByteRing::kSize - 30000);
    EXPECT_EQ(n2, 5000 - n1);
    EXPECT_EQ(std::memcmp(p1, b.data(), n1), 0);
    EXPECT_EQ(std::memcmp(p2, b.data() + n1, n2), 0);
    // A read of more than is held takes nothing.
    std::vector<uint8_t> big(5001);
    EXPECT_FALSE(ring.Read(big.data(), 5001));
    EXPECT_EQ(ring.Available(), 5000u);
    std::vector<uint8_t> back(5000);
    ASSERT_TRUE(ring.Read(back.data(), 5000));
    EXPECT_EQ(back, b);
    // A full ring takes only its free space.
    std::vector<uint8_t> c = Bytes(40000, 3);
    EXPECT_EQ(ring.Write(c.data(), 40000), ByteRing::kSize);
    EXPECT_EQ(ring.Free(), 0u);
    EXPECT_EQ(ring.Write(c.data(), 1), 0u);
}

struct LoopbackCaptureTest : ::testing::Test {
    FakeAudioSystem sys;
    plat::AudioDeviceID speakers = 0, loopback = 0, headphones = 0, aggregate = 0;

    void SetUp() override {
        FakeAudioDevice s;
        s.name = "Speakers";
        s.inputStreams = 0;
        s.outputStreams = 1;
        s.rate = 48000;
        speakers = sys.Add(s);
        FakeAudioDevice l;
        l.name = CLoopbackCapture::kLoopbackDeviceName;
        l.outputStreams = 1;
        l.rate = 48000;
        loopback = sys.Add(l);
        FakeAudioDevice h = s;
        h.name = "Headphones";
        headphones = sys.Add(h);
        ASSERT_TRUE(sys.SetDefaultDevice(AudioScope::kOutput, speakers));
    }
    plat::AudioDeviceID DefaultOut() { return sys.DefaultDevice(AudioScope::kOutput); }
    bool WaitForRestarts(CLoopbackCapture& c, uint32_t n) {
        for (int i = 0; i < 500 && c.Restarts() < n; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return c.Restarts() >= n;
    }
};

TEST_F(LoopbackCaptureTest, StartSwitchesOnceAndStopRestoresTheDeviceFromBeforeStart) {
    CLoopbackCapture c(&sys);
    c.Start();
    EXPECT_TRUE(c.IsActive());
    EXPECT_TRUE(c.IsCapturing());
    EXPECT_EQ(DefaultOut(), loopback);
    EXPECT_EQ(c.PreviousOutputName(), "Speakers");
    EXPECT_EQ(std::string(c.Selection().device.CStr()), CLoopbackCapture::kLoopbackDeviceName);
    ASSERT_EQ(sys.CaptureUnits().size(), 1u);
    EXPECT_EQ(sys.LastCaptureUnit()->device, loopback);
    ASSERT_EQ(sys.OutputUnits().size(), 1u);
    EXPECT_EQ(sys.LastOutputUnit()->device, speakers);
    plat::AudioFormat f;
    ASSERT_TRUE(sys.LastCaptureUnit()->GetClientFormat(f));
    EXPECT_EQ(f.channels, 2u);
    EXPECT_EQ(f.bits, 16u);
    EXPECT_EQ(f.rate, 48000);
    EXPECT_EQ(sys.LastOutputUnit()->format.rate, 48000);

    // The user picks other speakers meanwhile; a second Start changes nothing.
    ASSERT_TRUE(sys.SetDefaultDevice(AudioScope::kOutput, headphones));
    c.Start();
    EXPECT_EQ(DefaultOut(), headphones);
    EXPECT_EQ(sys.CaptureUnits().size(), 1u);

    c.Stop();
    EXPECT_FALSE(c.IsActive());
    EXPECT_EQ(DefaultOut(), speakers);
    EXPECT_TRUE(sys.CaptureUnits().empty());
    EXPECT_TRUE(sys.OutputUnits().empty());
    c.Stop();  // nothing more
    EXPECT_EQ(DefaultOut(), speakers);
}

TEST_F(LoopbackCaptureTest, OutputAlreadyCapturedChangesNothing) {
    FakeAudioDevice a;
    a.name = "Aggregate";
    a.inputStreams = 0;
    a.outputStreams = 1;
    a.subDevices = {loopback, speakers};
    aggregate = sys.Add(a);
    struct Case {
        const char* what;
        plat::AudioDeviceID output;
    } cases[] = {{"the loopback device", loopback}, {"an aggregate holding it", aggregate}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        ASSERT_TRUE(sys.SetDefaultDevice(AudioScope::kOutput, k.output));
        CLoopbackCapture c(&sys);
        c.Start();
        EXPECT_FALSE(c.IsActive());
        EXPECT_TRUE(sys.CaptureUnits().empty());
        EXPECT_EQ(DefaultOut(), k.output);
        // Stop restores nothing, whatever the default is by then.
        ASSERT_TRUE(sys.SetDefaultDevice(AudioScope::kOutput, headphones));
        c.Stop();
        EXPECT_EQ(DefaultOut(), headphones);
    }
}

TEST_F(LoopbackCaptureTest, MissingLoopbackDeviceLeavesEverythingAndTheNameEmpty) {
    sys.Remove(loopback);
    CLoopbackCapture c(&sys);
    c.Start();
    EXPECT_FALSE(c.IsActive());
    EXPECT_EQ(DefaultOut(), speakers);
    EXPECT_TRUE(c.Selection().device.IsEmpty());
}

// Any failure after the switch puts the previous default back at once (the user would hear nothing).
TEST_F(LoopbackCaptureTest, FailureAfterTheSwitchRestoresThePreviousDefault) {
    struct Case {
        const char* what;
        bool FakeAudioSystem::*knob;
    } cases[] = {
        {"capture refused", &FakeAudioSystem::refuseInitialize},
        {"play-through refused", &FakeAudioSystem::refuseOutputInitialize},
        {"no capture unit", &FakeAudioSystem::refuseCaptureUnit},
        {"no output unit", &FakeAudioSystem::refuseOutputUnit},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        sys.*k.knob = true;
        CLoopbackCapture c(&sys);
        c.Start();
        EXPECT_FALSE(c.IsActive());
        EXPECT_FALSE(c.IsCapturing());
        EXPECT_EQ(DefaultOut(), speakers);
        EXPECT_TRUE(sys.CaptureUnits().empty());
        EXPECT_TRUE(sys.OutputUnits().empty());
        sys.*k.knob = false;
        // A later Start works.
        c.Start();
        EXPECT_TRUE(c.IsCapturing());
        EXPECT_EQ(DefaultOut(), loopback);
        c.Stop();
        EXPECT_EQ(DefaultOut(), speakers);
    }
}

TEST_F(LoopbackCaptureTest, CapturedAudioPlaysOnAndAShortRingGivesASilentSlice) {
    CLoopbackCapture c(&sys);
    c.Start();
    ASSERT_TRUE(c.IsCapturing());
    plat::FakeCaptureUnit* in = sys.LastCaptureUnit();
    plat::FakeOutputUnit* out = sys.LastOutputUnit();
    ASSERT_EQ(in->Deliver(256), 0);  // 1024 bytes
    EXPECT_EQ(c.Ring().Available(), 1024u);
    // 512 frames would need 2048 bytes: silent, and the ring keeps its 1024.
    EXPECT_EQ(out->Pull(512), CLoopbackOutput::kNoData);
    EXPECT_EQ(out->silentSlices, 1u);
    EXPECT_EQ(c.Ring().Available(), 1024u);
    EXPECT_TRUE(out->played.empty());
    ASSERT_EQ(in->Deliver(256), 0);
    EXPECT_EQ(out->Pull(512), 0);
    ASSERT_EQ(out->played.size(), 2048u);
    // The captured frames in order (FakeCaptureUnit numbers them).
    std::vector<uint8_t> expect(2048);
    plat::FakeCaptureUnit::CountingFrames(expect.data(), 0, 512, 4);
    EXPECT_EQ(out->played, expect);
    EXPECT_EQ(c.Ring().Available(), 0u);
    // A full ring drops the newest audio.
    for (int i = 0; i < 10; ++i) ASSERT_EQ(in->Deliver(1024), 0);
    EXPECT_EQ(c.Ring().Available(), ByteRing::kSize);
    c.Stop();
}

TEST_F(LoopbackCaptureTest, RateChangeRestartsBothUnitsOnTheRestartThread) {
    CLoopbackCapture c(&sys);
    c.Start();
    ASSERT_TRUE(c.IsCapturing());
    plat::FakeCaptureUnit* before = sys.LastCaptureUnit();
    sys.ChangeRate(loopback, 44100);
    ASSERT_TRUE(WaitForRestarts(c, 1));
    EXPECT_TRUE(c.IsCapturing());
    ASSERT_EQ(sys.CaptureUnits().size(), 1u);
    EXPECT_NE(sys.LastCaptureUnit(), before);
    plat::AudioFormat f;
    ASSERT_TRUE(sys.LastCaptureUnit()->GetClientFormat(f));
    EXPECT_EQ(f.rate, 44100);
    ASSERT_EQ(sys.OutputUnits().size(), 1u);
    EXPECT_EQ(sys.LastOutputUnit()->format.rate, 44100);
    EXPECT_EQ(DefaultOut(), loopback);
    c.Stop();
    EXPECT_EQ(DefaultOut(), speakers);
}

TEST_F(LoopbackCaptureTest, RestartThatFailsRestoresTheDefault) {
    CLoopbackCapture c(&sys);
    c.Start();
    sys.refuseInitialize = true;
    sys.ChangeRate(loopback, 44100);
    ASSERT_TRUE(WaitForRestarts(c, 1));
    EXPECT_FALSE(c.IsActive());
    EXPECT_EQ(DefaultOut(), speakers);
    EXPECT_TRUE(sys.CaptureUnits().empty());
    EXPECT_TRUE(sys.OutputUnits().empty());
}

// Whether the restart runs before or after Stop, Stop wins: nothing is left running or switched.
TEST_F(LoopbackCaptureTest, RestartRacingStopLeavesItStopped) {
    CLoopbackCapture c(&sys);
    for (int i = 0; i < 50; ++i) {
        c.Start();
        ASSERT_TRUE(c.IsCapturing());
        sys.ChangeRate(loopback, i % 2 ? 44100 : 48000);
        c.Stop();
        EXPECT_EQ(DefaultOut(), speakers);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(c.IsActive());
    EXPECT_TRUE(sys.CaptureUnits().empty());
    EXPECT_TRUE(sys.OutputUnits().empty());
    EXPECT_EQ(DefaultOut(), speakers);
}

}  // namespace
