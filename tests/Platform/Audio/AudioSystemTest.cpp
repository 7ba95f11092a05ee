#include <gtest/gtest.h>

#include "Platform/Audio/AudioSystem.h"
#include "Platform/Audio/fake/FakeAudioSystem.h"
#include "Platform/Audio/pulse/PulseAudioSystem.h"
#include "tests/support/EnvOverride.h"
#include "tests/support/TempDir.h"

namespace {

TEST(AudioSystemTest, AnInstalledSystemIsTheCurrentOneUntilRemoved) {
    // No server: the default is not made (and no desktop's server is touched).
    testsupport::TempDir dir;
    testsupport::EnvOverride server("PULSE_SERVER", ("unix:" + dir.File("none")).c_str());
    testsupport::EnvOverride config("PULSE_CLIENTCONFIG", dir.File("none.conf").c_str());
    plat::FakeAudioSystem fake;
    plat::SetAudioSystem(&fake);
    EXPECT_EQ(plat::CurrentAudioSystem(), &fake);
    plat::SetAudioSystem(nullptr);
    EXPECT_EQ(plat::CurrentAudioSystem(), nullptr);
}

TEST(AudioSystemTest, NoServerGivesNoPulseSystem) {
    testsupport::TempDir dir;
    testsupport::EnvOverride server("PULSE_SERVER", ("unix:" + dir.File("none")).c_str());
    testsupport::EnvOverride config("PULSE_CLIENTCONFIG", dir.File("none.conf").c_str());
    EXPECT_EQ(plat::PulseAudioSystem::Connect("orbilume-test"), nullptr);
}

TEST(AudioSystemTest, FindsTheFirstDeviceOfAName) {
    plat::FakeAudioSystem fake;
    plat::FakeAudioDevice d;
    d.name = "A";
    plat::AudioDeviceID first = fake.Add(d);
    fake.Add(d);
    d.name = "B";
    plat::AudioDeviceID b = fake.Add(d);
    EXPECT_EQ(plat::FindAudioDevice(fake, "A"), first);
    EXPECT_EQ(plat::FindAudioDevice(fake, "B"), b);
    EXPECT_EQ(plat::FindAudioDevice(fake, "C"), 0u);
    EXPECT_EQ(plat::FindAudioDevice(fake, ""), 0u);
}

}  // namespace
