#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cmath>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Orbilume/CSources/Media/CAVMovie.h"
#include "Platform/Composer/Image.h"
#include "Platform/Foundation/RunLoop.h"
#include "Platform/Media/MovieItem.h"
#include "Platform/Media/MoviePlayer.h"
#include "Platform/Video/PixelBuffer.h"
#include "tests/Platform/Media/MovieFixtures.h"
#include "tests/support/FakeClock.h"
#include "tests/support/TempDir.h"

namespace {

using plat::Ref;

// Runs the calling thread's run loop (real time) until done() or 20 s.
bool Pump(const std::function<bool()>& done) {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) return false;
        plat::RunLoop::Current()->RunInMode(plat::kRunLoopDefaultMode, 0, false);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// An APP1 Exif segment with IFD0 holding the orientation (big-endian TIFF).
std::string WithExifOrientation(const std::string& jpeg, uint8_t orientation) {
    const uint8_t tiff[] = {'E',  'x',  'i', 'f', 0, 0, 'M', 'M', 0, 42,          0, 0, 0, 8, 0, 1,
                            0x01, 0x12, 0,   3,   0, 0, 0,   1,   0, orientation, 0, 0, 0, 0, 0, 0};
    std::string app1 = {'\xFF', '\xE1', 0, static_cast<char>(sizeof(tiff) + 2)};
    app1.append(reinterpret_cast<const char*>(tiff), sizeof(tiff));
    return jpeg.substr(0, 2) + app1 + jpeg.substr(2);
}

// Fixtures made once: 10 s of frame-number bars at 30 fps in H.264 with a 1 s GOP and a tone; a
// JPEG of the bars turned by EXIF orientation 6; a one-frame movie of 0.05 s; junk.
class Fixtures {
public:
    static const Fixtures& Get() {
        static const Fixtures* f = new Fixtures();
        return *f;
    }
    std::string problem;
    testsupport::TempDir dir;

private:
    Fixtures() {
        const std::string& base = testsupport::MovieFixtures::Get().Problem();
        if (!base.empty()) {
            problem = base;
            return;
        }
        const std::string ff =
            "ffmpeg -nostdin -v error -y -f lavfi -i "
            "\"nullsrc=s=128x32:r=30,geq=lum='235*mod(floor(N/pow(2\\,floor(X/16)))\\,2)+16':"
            "cb=128:cr=128\" ";
        const bool made =
            testsupport::Shell(ff +
                               "-f lavfi -i sine=frequency=1000:sample_rate=48000 -t 10 -c:v libx264 -g 30 "
                               "-bf 2 -pix_fmt yuv420p -c:a aac -map 0:v -map 1:a -t 10 " +
                               dir.File("bars10.mp4")) &&
            testsupport::Shell(ff + "-frames:v 1 -q:v 2 " + dir.File("plain.jpg")) &&
            testsupport::Shell(ff + "-frames:v 1 -r 20 -c:v libx264 -pix_fmt yuv420p " + dir.File("one.mp4"));
        if (!made) {
            problem = "ffmpeg could not make the fixtures";
            return;
        }
        std::ifstream in(dir.File("plain.jpg"), std::ios::binary);
        std::string jpeg((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        dir.Write("turned.jpg", WithExifOrientation(jpeg, 6));
        dir.Write("junk.mov", std::string(5000, '\x42'));
    }
};

LFsSpec SpecOf(const std::string& path) {
    return CMacFileU::LFsSpecFromPath(path.c_str());
}

int FrameNow(CAVMovie* movie) {
    plat::MoviePlayer* player = movie->Player();
    Ref<plat::PixelBuffer> buffer = player->CopyPixelBufferForItemTime(player->CurrentTime(), nullptr);
    return testsupport::BarsNumber(buffer.get());
}

class CAVMovieTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!Fixtures::Get().problem.empty()) GTEST_SKIP() << Fixtures::Get().problem;
    }
    void TearDown() override {
        CAVMovie::SetPrepareTimeoutMs(CAVMovie::kPrepareTimeoutMs);
        CAVMovie::SetStatusReaderForTest(nullptr);
    }
    // Made on this thread, prepared on a loader thread of the test's.
    static Ref<CAVMovie> Prepared(const std::string& name) {
        Ref<CAVMovie> movie;
        CreateMovie(movie, SpecOf(Fixtures::Get().dir.File(name)));
        std::thread loader([&] { PrepareMovie(movie); });
        loader.join();
        return movie;
    }
    static void WaitIdle(CAVMovie* movie) {
        Ref<plat::MovieItem> item = movie->Player()->CurrentItem();
        ASSERT_TRUE(Pump([&] { return !movie->IsSeeking() && item->IsIdle(); }));
    }
    static void SeekAndWait(CAVMovie* movie, float t) {
        movie->QueueSeek(t, 0);
        WaitIdle(movie);
    }
};

TEST_F(CAVMovieTest, StatusBecomesReadyForAMovieAndFailedForTheRest) {
    Ref<CAVMovie> movie;
    CreateMovie(movie, SpecOf(Fixtures::Get().dir.File("bars10.mp4")));
    EXPECT_EQ(GetMovieStatus(movie), CAVMovie::kPending);
    std::thread loader([&] { PrepareMovie(movie); });
    loader.join();
    EXPECT_EQ(GetMovieStatus(movie), CAVMovie::kReady);
    EXPECT_TRUE(movie->HasVideo());
    EXPECT_TRUE(movie->HasAudio());
    EXPECT_NEAR(movie->GetDuration(), 10, 0.05);
    float w = 0, h = 0;
    movie->GetSize(w, h);
    EXPECT_EQ(w, 128);
    EXPECT_EQ(h, 32);

    Ref<CAVMovie> empty;
    EXPECT_EQ(GetMovieStatus(empty), CAVMovie::kFailed);
    PrepareMovie(empty);  // nothing

    testsupport::TempDir dir;
    ASSERT_EQ(mkfifo(dir.File("fifo.mov").c_str(), 0600), 0);
    for (const std::string& path :
         {Fixtures::Get().dir.File("junk.mov"), dir.File("fifo.mov"), dir.Path(), dir.File("missing.mov")}) {
        SCOPED_TRACE(path);
        auto start = std::chrono::steady_clock::now();
        Ref<CAVMovie> bad;
        CreateMovie(bad, SpecOf(path));
        bad->Prepare();
        EXPECT_EQ(bad->GetStatus(), CAVMovie::kFailed);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
        EXPECT_FALSE(bad->HasVideo());
        EXPECT_EQ(bad->GetDuration(), 0);
        EXPECT_FALSE(bad->CopyFrame());
        bad->QueueRate(1);  // ignored without a player
    }
}

TEST_F(CAVMovieTest, PrepareGivesUpOnAStatusThatNeverResolves) {
    CAVMovie::SetStatusReaderForTest([](const CAVMovie*) -> int32_t { return CAVMovie::kPending; });
    CAVMovie::SetPrepareTimeoutMs(300);
    Ref<CAVMovie> movie;
    CreateMovie(movie, SpecOf(Fixtures::Get().dir.File("bars10.mp4")));
    auto start = std::chrono::steady_clock::now();
    std::thread loader([&] { PrepareMovie(movie); });
    loader.join();
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(movie->GetStatus(), CAVMovie::kFailed);
    EXPECT_GE(took, std::chrono::milliseconds(290));
    EXPECT_LT(took, std::chrono::seconds(3));
}

TEST_F(CAVMovieTest, RangesClampToTheFileAndBadValuesMeanTheWhole) {
    Ref<CAVMovie> movie = Prepared("bars10.mp4");
    const float duration = movie->GetDuration();
    struct Case {
        float start, end;
        float wantStart, wantEnd;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Case cases[] = {
        {5, 2, 0, duration},   {2, 50, 2, duration},  {1, 4, 1, 4},
        {nan, 4, 0, duration}, {1, nan, 0, duration}, {3, 3, 0, duration},
    };
    for (const Case& c : cases) {
        movie->SetRange(c.start, c.end);
        float s = -1, e = -1;
        movie->GetRange(s, e);
        EXPECT_FLOAT_EQ(s, c.wantStart) << c.start << " " << c.end;
        EXPECT_FLOAT_EQ(e, c.wantEnd) << c.start << " " << c.end;
    }
}

TEST_F(CAVMovieTest, CommandsCoalescePerKind) {
    Ref<CAVMovie> movie = Prepared("bars10.mp4");
    std::thread render([&] {
        for (int i = 0; i < 100; ++i) {
            movie->QueueRate(i % 2 ? 1.0f : 0.5f);
            movie->QueueSeek(i * 0.05f, 1);
        }
    });
    render.join();
    ASSERT_TRUE(Pump([&] { return movie->CommandsRun(CAVMovie::kCmdSeek) > 0; }));
    WaitIdle(movie.get());
    for (int i = 0; i < 20; ++i) plat::RunLoop::Current()->RunInMode(plat::kRunLoopDefaultMode, 0, false);
    EXPECT_EQ(movie->CommandsRun(CAVMovie::kCmdSeek), 1u);
    EXPECT_EQ(movie->CommandsRun(CAVMovie::kCmdRate), 1u);
    // The last rate waited for the last seek.
    EXPECT_EQ(movie->GetRate(), 1.0f);
    EXPECT_GE(movie->GetTime(), 99 * 0.05f - 0.01f);
}

TEST_F(CAVMovieTest, ARateSetDuringASeekAppliesWhenItCompletes) {
    Ref<CAVMovie> movie = Prepared("bars10.mp4");
    movie->QueueSeek(2.0f, 0);
    movie->QueueRate(0.5f);
    ASSERT_TRUE(Pump([&] { return movie->CommandsRun(CAVMovie::kCmdRate) == 1; }));
    ASSERT_TRUE(Pump([&] { return !movie->IsSeeking(); }));
    EXPECT_EQ(movie->GetRate(), 0.5f);
    EXPECT_GE(movie->GetTime(), 2.0f);
    EXPECT_EQ(movie->LastRate(), 0.5f);
}

TEST_F(CAVMovieTest, AnInterruptedSeekDoesNotHoldLaterRates) {
    Ref<CAVMovie> movie = Prepared("bars10.mp4");
    // The near step interrupts the seek: it completes unfinished.
    movie->QueueSeek(3.0f, 0);
    movie->QueueStep(false, 3.2f);
    ASSERT_TRUE(Pump([&] { return movie->CommandsRun(CAVMovie::kCmdStep) == 1; }));
    ASSERT_TRUE(Pump([&] { return !movie->IsSeeking(); }));
    movie->QueueRate(1);
    ASSERT_TRUE(Pump([&] { return movie->CommandsRun(CAVMovie::kCmdRate) == 1; }));
    EXPECT_EQ(movie->GetRate(), 1.0f);
}

TEST_F(CAVMovieTest, StepToStepsNearbyAndSeeksFarther) {
    Ref<CAVMovie> movie = Prepared("bars10.mp4");
    SeekAndWait(movie.get(), 1.0f);
    EXPECT_EQ(FrameNow(movie.get()), 30);

    movie->QueueStep(false, 1.4f);
    ASSERT_TRUE(Pump([&] { return movie->CommandsRun(CAVMovie::kCmdStep) == 1; }));
    EXPECT_FALSE(movie->IsSeeking()) << "0.4 s ahead steps";
    WaitIdle(movie.get());
    EXPECT_EQ(FrameNow(movie.get()), 42);

    movie->QueueStep(false, 2.0f);
    ASSERT_TRUE(Pump([&] { return movie->CommandsRun(CAVMovie::kCmdStep) == 2; }));
    EXPECT_TRUE(movie->IsSeeking()) << "0.6 s ahead seeks";
    WaitIdle(movie.get());
    EXPECT_EQ(FrameNow(movie.get()), 60);

    movie->QueueStep(false, 1.8f);  // behind, not allowed back
    ASSERT_TRUE(Pump([&] { return movie->CommandsRun(CAVMovie::kCmdStep) == 3; }));
    WaitIdle(movie.get());
    EXPECT_EQ(FrameNow(movie.get()), 60);
    EXPECT_EQ(movie->GetRate(), 0);

    movie->QueueStep(true, 1.8f);
    ASSERT_TRUE(Pump([&] { return movie->CommandsRun(CAVMovie::kCmdStep) == 4; }));
    WaitIdle(movie.get());
    EXPECT_EQ(FrameNow(movie.get()), 54);

    // Step times from the render thread are clamped; NaN is 0.
    movie->QueueStep(true, std::numeric_limits<float>::quiet_NaN());
    ASSERT_TRUE(Pump([&] { return movie->CommandsRun(CAVMovie::kCmdStep) == 5; }));
    WaitIdle(movie.get());
    EXPECT_EQ(FrameNow(movie.get()), 0);
}

TEST_F(CAVMovieTest, LoopingBackwardsSeeksToTheRangeEndAndPlaysOn) {
    Ref<CAVMovie> movie = Prepared("bars10.mp4");
    movie->SetLoop(true);
    movie->SetRange(0, 0);  // the whole file
    SeekAndWait(movie.get(), 0.3f);
    movie->QueueRate(-1);
    ASSERT_TRUE(Pump([&] { return movie->CommandsRun(CAVMovie::kCmdRate) == 1; }));
    EXPECT_EQ(movie->LastRate(), -1.0f);
    // The display link reads the time every frame; that is where the end is noticed.
    ASSERT_TRUE(Pump([&] { return (void)movie->GetTime(), movie->CommandsRun(CAVMovie::kCmdEnd) == 1; }));
    ASSERT_TRUE(Pump([&] { return !movie->IsSeeking() && movie->GetRate() == -1.0f; }));
    EXPECT_GT(movie->GetTime(), 9.0f);
    int first = -1;
    ASSERT_TRUE(Pump([&] { return (first = FrameNow(movie.get())) > 250; }));
    int later = first;
    ASSERT_TRUE(Pump([&] { return (later = FrameNow(movie.get())) >= 0 && later < first - 3; }));
    EXPECT_LT(later, first);
}

TEST_F(CAVMovieTest, SeekLatencyIsMeasuredAcrossTheClockWrap) {
    // 100 ms before the millisecond clock wraps.
    testsupport::FakeClock clock(4294967.196);
    Ref<CAVMovie> movie = Prepared("bars10.mp4");
    movie->QueueSeek(4.0f, 0);
    ASSERT_TRUE(Pump([&] { return movie->CommandsRun(CAVMovie::kCmdSeek) == 1; }));
    clock.AdvanceMs(300);
    ASSERT_TRUE(Pump([&] { return !movie->IsSeeking(); }));
    EXPECT_NEAR(movie->SeekLatency(), (0.5 + 0.3) / 2, 1e-3);
}

TEST_F(CAVMovieTest, ReleasedWhilePendingCallbacksAreOnTheirWay) {
    const int32_t before = CAVMovie::LiveCount();
    {
        // During a seek: the last release on another thread.
        Ref<CAVMovie> movie = Prepared("bars10.mp4");
        movie->QueueSeek(6.0f, 1);
        ASSERT_TRUE(Pump([&] { return movie->CommandsRun(CAVMovie::kCmdSeek) == 1; }));
        std::thread render([m = std::move(movie)]() mutable { m = nullptr; });
        render.join();
    }
    ASSERT_TRUE(Pump([&] { return CAVMovie::LiveCount() == before; }));
    {
        // During an end notification: reached on the render thread, released there.
        Ref<CAVMovie> movie = Prepared("bars10.mp4");
        movie->SetLoop(true);
        SeekAndWait(movie.get(), 9.9f);
        movie->QueueRate(1);
        ASSERT_TRUE(Pump([&] { return movie->GetRate() == 1.0f; }));
        std::thread render([m = std::move(movie)]() mutable {
            while (m->GetRate() != 0) {
                (void)m->GetTime();
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            m = nullptr;
        });
        render.join();
    }
    ASSERT_TRUE(Pump([&] { return CAVMovie::LiveCount() == before; }));
    for (int i = 0; i < 50; ++i) plat::RunLoop::Current()->RunInMode(plat::kRunLoopDefaultMode, 0, false);
}

TEST_F(CAVMovieTest, StillsComeUprightAndOneFrameMoviesReadAsStills) {
    Ref<CAVMovie> jpeg = Prepared("turned.jpg");
    EXPECT_EQ(jpeg->GetStatus(), CAVMovie::kReady);
    EXPECT_LT(jpeg->GetDuration(), 0.1f);
    Ref<plat::Image> still = jpeg->GetStill();
    ASSERT_TRUE(still);
    EXPECT_EQ(still->Width(), 32u);
    EXPECT_EQ(still->Height(), 128u);
    EXPECT_EQ(jpeg->GetStill().get(), still.get()) << "kept";
    float w = 0, h = 0;
    jpeg->GetSize(w, h);
    EXPECT_EQ(w, 32);
    EXPECT_EQ(h, 128);

    Ref<CAVMovie> one = Prepared("one.mp4");
    EXPECT_EQ(one->GetStatus(), CAVMovie::kReady);
    EXPECT_TRUE(one->HasVideo());
    EXPECT_FALSE(one->HasAudio());
    EXPECT_LT(one->GetDuration(), 0.1f);
    Ref<plat::Image> frame = one->GetStill();
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->Width(), 128u);
    EXPECT_EQ(frame->Height(), 32u);

    // Neither image nor movie: failed once, not tried again.
    Ref<CAVMovie> junk = Prepared("junk.mov");
    EXPECT_FALSE(junk->GetStill());
    EXPECT_FALSE(junk->GetStill());
    EXPECT_EQ(junk->GetStatus(), CAVMovie::kFailed);
    float jw = -1, jh = -1;
    junk->GetSize(jw, jh);
    EXPECT_EQ(jw, 0);
    EXPECT_EQ(jh, 0);
}

TEST_F(CAVMovieTest, CopyFrameHandsOutOnlyNewFrames) {
    Ref<CAVMovie> movie = Prepared("bars10.mp4");
    SeekAndWait(movie.get(), 5.0f);
    Ref<plat::PixelBuffer> first = movie->CopyFrame();
    ASSERT_TRUE(first);
    EXPECT_EQ(testsupport::BarsNumber(first.get()), 150);
    EXPECT_FALSE(movie->CopyFrame());
    // Render-thread values: NaN and infinite rates are 0.
    movie->QueueRate(std::numeric_limits<float>::infinity());
    ASSERT_TRUE(Pump([&] { return movie->CommandsRun(CAVMovie::kCmdRate) == 1; }));
    EXPECT_EQ(movie->GetRate(), 0);
}

}  // namespace
