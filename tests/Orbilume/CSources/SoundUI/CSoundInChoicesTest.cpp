#include <gtest/gtest.h>

#include "Orbilume/CSources/SoundUI/CSoundInChoices.h"
#include "Platform/Audio/fake/FakeAudioSystem.h"

namespace {

struct SoundInChoicesTest : ::testing::Test {
    plat::FakeAudioSystem sys;
    void SetUp() override {
        plat::FakeAudioDevice mic;
        mic.name = "Built-in Microphone";
        mic.inputSources = {"Internal", "Line In"};
        sys.Add(mic);
        plat::FakeAudioDevice speakers;
        speakers.name = "Speakers";
        speakers.inputStreams = 0;
        speakers.outputStreams = 1;
        sys.Add(speakers);
        plat::FakeAudioDevice usb;
        usb.name = "USB Audio";
        sys.Add(usb);
    }
    static std::string Text(const LString& s) { return std::string(s.CStr(), s.Length()); }
};

TEST_F(SoundInChoicesTest, ListsDevicesWithInputAndTheSourcesOfTheChosenOne) {
    CSoundInChoices c(&sys);
    EXPECT_EQ(c.Devices(), (std::vector<std::string>{"Built-in Microphone", "USB Audio"}));
    EXPECT_EQ(c.DeviceIndex(), 0);
    EXPECT_EQ(c.Sources(), (std::vector<std::string>{"Internal", "Line In"}));
    c.ChooseDevice(1);
    EXPECT_TRUE(c.Sources().empty());
    EXPECT_EQ(c.SourceIndex(), -1);
    EXPECT_EQ(Text(c.Get().device), "USB Audio");
    EXPECT_EQ(Text(c.Get().source), "");
}

TEST_F(SoundInChoicesTest, SetSelectsByNameAndFallsBackToTheFirst) {
    struct Case {
        const char* device;
        const char* source;
        const char* gotDevice;
        const char* gotSource;
    } cases[] = {
        {"Built-in Microphone", "Line In", "Built-in Microphone", "Line In"},
        {"USB Audio", "Line In", "USB Audio", ""},
        {"Gone Device", "Line In", "Built-in Microphone", "Line In"},
        {"", "", "Built-in Microphone", "Internal"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.device);
        CSoundInChoices c(&sys);
        SoundInputSpec spec;
        spec.device = LString(k.device);
        spec.source = LString(k.source);
        c.Set(spec);
        EXPECT_EQ(Text(c.Get().device), k.gotDevice);
        EXPECT_EQ(Text(c.Get().source), k.gotSource);
    }
}

}  // namespace
