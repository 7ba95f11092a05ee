#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "Platform/Audio/fake/FakeAudioSystem.h"
#include "Platform/Foundation/RunLoop.h"
#include "Platform/Media/MovieItem.h"
#include "Platform/Media/MoviePlayer.h"
#include "Platform/Media/MovieSound.h"
#include "tests/Platform/Media/MovieFixtures.h"
#include "tests/support/BackgroundCommand.h"
#include "tests/support/FakeClock.h"
#include "tests/support/PulseServer.h"

using namespace plat;
using testsupport::MovieFixtures;

namespace {

bool WaitFor(const std::function<bool()>& done) {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) return false;
        RunLoop::Current()->RunInMode(kRunLoopDefaultMode, 0, false);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

void SeekDone(bool finished, void* info) {
    *static_cast<int*>(info) = finished ? 1 : 2;
}

// The fixture's tone: ffmpeg's sine at its default amplitude of 1/8.
constexpr double kToneRms = 32767.0 / 8 / std::sqrt(2.0);
constexpr uint32_t kSlice = 480;  // 10 ms at 48 kHz
constexpr double kSliceSeconds = 0.01;

class MovieSoundTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!MovieFixtures::Get().Problem().empty()) GTEST_SKIP() << MovieFixtures::Get().Problem();
        FakeAudioDevice speakers;
        speakers.name = "Speakers";
        speakers.inputStreams = 0;
        speakers.outputStreams = 1;
        ASSERT_TRUE(fAudio.SetDefaultDevice(AudioScope::kOutput, fAudio.Add(speakers)));
        SetAudioSystem(&fAudio);
    }
    void TearDown() override { SetAudioSystem(nullptr); }

    Ref<MoviePlayer> Player(const char* name) {
        Ref<MoviePlayer> player = Adopt(MoviePlayer::Create());
        Ref<MovieItem> item = Adopt(MovieItem::Create(MovieFixtures::Get().Path(name), nullptr, nullptr));
        player->ReplaceCurrentItem(item.get());
        EXPECT_TRUE(WaitFor([&] { return item->GetStatus() == MovieItem::Status::kReady; }));
        return player;
    }
    static void Seek(MoviePlayer* player, double t) {
        int done = 0;
        player->SeekToTime(t, SeekDone, &done);
        ASSERT_TRUE(WaitFor([&] { return done != 0; }));
        ASSERT_EQ(done, 1);
    }
    // Pulls `slices` slices of 10 ms as the clock moves on; the RMS of what was played.
    double Play(MoviePlayer* player, FakeOutputUnit* unit, int slices) {
        const size_t first = unit->played.size();
        for (int i = 0; i < slices; ++i) {
            const double t = player->CurrentTime();
            if (player->Rate() == 1) {
                // A margin for the pulls ahead of the clock below.
                EXPECT_TRUE(WaitFor([&] { return player->Sound()->DecodedEnd() >= t + 0.1; })) << i;
            }
            EXPECT_EQ(unit->Pull(kSlice), 0);
            fClock.Advance(kSliceSeconds);
        }
        std::vector<int16_t> samples((unit->played.size() - first) / 2);
        std::memcpy(samples.data(), unit->played.data() + first, samples.size() * 2);
        double sum = 0;
        for (int16_t s : samples) sum += double(s) * s;
        return samples.empty() ? -1 : std::sqrt(sum / samples.size());
    }

    testsupport::FakeClock fClock;
    FakeAudioSystem fAudio;
};

TEST_F(MovieSoundTest, ToneIsAudibleAtRateOneWithTheVolumeAndSilentOtherwise) {
    Ref<MoviePlayer> player = Player("bars.mp4");
    ASSERT_TRUE(WaitFor([&] { return player->Sound()->HasOutput(); }));
    FakeOutputUnit* unit = fAudio.LastOutputUnit();
    ASSERT_NE(unit, nullptr);
    EXPECT_EQ(unit->format.bits, 16u);
    EXPECT_EQ(unit->format.channels, 2u);
    EXPECT_EQ(unit->format.rate, 48000);

    Seek(player.get(), 0.5);
    EXPECT_EQ(Play(player.get(), unit, 5), 0) << "paused";
    player->SetRate(1);
    EXPECT_NEAR(Play(player.get(), unit, 50), kToneRms, kToneRms * 0.1);
    player->SetVolume(0.5f);
    EXPECT_NEAR(Play(player.get(), unit, 50), kToneRms * 0.5, kToneRms * 0.05);
    EXPECT_NEAR(player->Sound()->NextFrameTime(), player->CurrentTime(), MovieSound::kSyncTolerance);
    player->SetRate(2);
    EXPECT_EQ(Play(player.get(), unit, 20), 0) << "rate 2";
    player->SetRate(0);
    EXPECT_EQ(Play(player.get(), unit, 20), 0) << "paused again";
    player->SetRate(1);
    EXPECT_NEAR(Play(player.get(), unit, 50), kToneRms * 0.5, kToneRms * 0.05);
    // A seek pending mutes it.
    int done = 0;
    player->SeekToTime(2.0, SeekDone, &done);
    unit->Pull(kSlice);
    ASSERT_TRUE(WaitFor([&] { return done != 0; }));
    EXPECT_NEAR(Play(player.get(), unit, 30), kToneRms * 0.5, kToneRms * 0.05);
}

TEST_F(MovieSoundTest, SoundFollowsTheClockWithinFortyMilliseconds) {
    Ref<MoviePlayer> player = Player("bars.mp4");
    ASSERT_TRUE(WaitFor([&] { return player->Sound()->HasOutput(); }));
    FakeOutputUnit* unit = fAudio.LastOutputUnit();
    Seek(player.get(), 0.2);
    player->SetRate(1);
    (void)Play(player.get(), unit, 10);
    // The output fell behind (the clock moved on without pulls), then ran ahead of it.
    for (double jump : {0.1, 0.03, 0.15}) {
        SCOPED_TRACE(jump);
        fClock.Advance(jump);
        (void)Play(player.get(), unit, 3);
        EXPECT_NEAR(player->Sound()->NextFrameTime(), player->CurrentTime(), MovieSound::kSyncTolerance);
    }
    for (int extra : {2, 4}) {
        SCOPED_TRACE(extra);
        const double t = player->CurrentTime();
        ASSERT_TRUE(WaitFor([&] { return player->Sound()->DecodedEnd() >= t + 0.1; }));
        for (int i = 0; i < extra; ++i) unit->Pull(kSlice);  // pulled faster than the clock
        (void)Play(player.get(), unit, 3);
        EXPECT_NEAR(player->Sound()->NextFrameTime(), player->CurrentTime(), MovieSound::kSyncTolerance);
    }
}

TEST_F(MovieSoundTest, WithoutAnOutputDeviceTheSoundIsDecodedAndDropped) {
    SetAudioSystem(nullptr);
    FakeAudioSystem empty;  // no devices: no output unit initialises
    SetAudioSystem(&empty);
    Ref<MoviePlayer> player = Player("bars.mp4");
    Seek(player.get(), 0.5);
    player->SetRate(1);
    for (int i = 0; i < 40; ++i) {
        fClock.Advance(0.05);
        const double t = player->CurrentTime();
        // Decoded on, and what is due is not kept.
        ASSERT_TRUE(WaitFor([&] {
            const double next = player->Sound()->NextFrameTime();
            return player->Sound()->DecodedEnd() >= t && next > t - 0.1;
        })) << t;
    }
    EXPECT_FALSE(player->Sound()->HasOutput());
    player = nullptr;
    SetAudioSystem(&fAudio);
}

// The real thing: the player's sound on a private PulseAudio server's default sink, recorded from
// its monitor with parec.
TEST(MovieSoundPulseTest, TheToneReachesTheDefaultSinkAtTheVolumesLevel) {
    if (!MovieFixtures::Get().Problem().empty()) GTEST_SKIP() << MovieFixtures::Get().Problem();
    if (!testsupport::HaveProgram("parec")) GTEST_SKIP() << "parec is not installed";
    testsupport::PulseServer server;
    if (!server.Ok()) GTEST_SKIP() << server.Why();
    SetAudioSystem(nullptr);
    Ref<MoviePlayer> player = Adopt(MoviePlayer::Create());
    Ref<MovieItem> item = Adopt(MovieItem::Create(MovieFixtures::Get().Path("bars.mp4"), nullptr, nullptr));
    player->ReplaceCurrentItem(item.get());
    ASSERT_TRUE(WaitFor([&] { return player->Sound()->HasOutput(); }));
    int done = 0;
    player->SeekToTime(0, SeekDone, &done);
    ASSERT_TRUE(WaitFor([&] { return done != 0; }));
    player->SetVolume(0.5f);

    // The recording runs before the tone starts and until after it ends, however long parec takes
    // to connect: play starts only once the monitor's samples are arriving.
    const std::string recorded = server.Dir().File("movie.raw");
    std::ifstream f(recorded, std::ios::binary);
    {
        testsupport::BackgroundCommand recorder(std::string("exec parec --device=") +
                                                testsupport::PulseServer::kSpeakers +
                                                ".monitor --format=s16le --rate=48000 --channels=1 --raw " + recorded);
        ASSERT_TRUE(recorder.Started());
        const auto recordedBytes = [&] {
            std::error_code ec;
            const auto size = std::filesystem::file_size(recorded, ec);
            return ec ? 0 : size;
        };
        ASSERT_TRUE(WaitFor([&] { return recordedBytes() >= 48000 * 2 / 5; })) << "parec records";
        player->SetRate(1);
        // Read the time as a display link would, so that the end is noticed.
        while (player->Rate() != 0) {
            (void)player->CurrentTime();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
    }
    player = nullptr;

    f.open(recorded, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    std::vector<int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    // 10 ms blocks that carry the tone; their level and the tone's pitch.
    constexpr size_t kBlock = 480;
    double sum = 0;
    size_t loud = 0;
    size_t crossings = 0;
    for (size_t b = 0; b + kBlock <= samples.size(); b += kBlock) {
        double block = 0;
        for (size_t i = b; i < b + kBlock; ++i) block += double(samples[i]) * samples[i];
        if (std::sqrt(block / kBlock) < kToneRms * 0.25) continue;
        ++loud;
        sum += block;
        for (size_t i = b + 1; i < b + kBlock; ++i) crossings += (samples[i - 1] < 0) != (samples[i] < 0);
    }
    ASSERT_GT(loud, 150u) << "blocks of the 3 s tone heard";
    EXPECT_NEAR(std::sqrt(sum / (loud * kBlock)), kToneRms * 0.5, kToneRms * 0.08);
    EXPECT_NEAR(crossings / (loud * (kBlock - 1) / 48000.0) / 2, 1000, 30);
}

}  // namespace
