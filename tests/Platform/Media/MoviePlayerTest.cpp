#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "Platform/Foundation/RunLoop.h"
#include "Platform/Media/MovieItem.h"
#include "Platform/Media/MoviePlayer.h"
#include "Platform/Video/PixelBuffer.h"
#include "tests/Platform/Media/MovieFixtures.h"
#include "tests/support/FakeClock.h"
#include "tests/support/TempDir.h"

using namespace plat;
using testsupport::MovieFixtures;

namespace {

// Polls the calling thread's run loop (real time) until done() or 20 s.
bool WaitFor(const std::function<bool()>& done) {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) return false;
        RunLoop::Current()->RunInMode(kRunLoopDefaultMode, 0, false);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

struct SeekLog {
    int calls = 0;
    bool finished = false;
    static void Done(bool finished, void* info) {
        auto* log = static_cast<SeekLog*>(info);
        ++log->calls;
        log->finished = finished;
    }
};

void CountEnd(void* info) {
    ++*static_cast<int*>(info);
}

class MoviePlayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!MovieFixtures::Get().Problem().empty()) GTEST_SKIP() << MovieFixtures::Get().Problem();
    }
    Ref<MovieItem> Load(const std::string& name, MovieItem::Status expected = MovieItem::Status::kReady) {
        Ref<MovieItem> item = Adopt(MovieItem::Create(MovieFixtures::Get().Path(name), nullptr, nullptr));
        EXPECT_TRUE(WaitFor([&] { return item->GetStatus() != MovieItem::Status::kUnknown; }));
        EXPECT_EQ(item->GetStatus(), expected);
        return item;
    }
    Ref<MoviePlayer> PlayerWith(const std::string& name) {
        Ref<MoviePlayer> player = Adopt(MoviePlayer::Create());
        player->ReplaceCurrentItem(Load(name).get());
        return player;
    }
    void SeekAndWait(MoviePlayer* player, double t) {
        SeekLog log;
        player->SeekToTime(t, SeekLog::Done, &log);
        ASSERT_TRUE(WaitFor([&] { return log.calls > 0; }));
        EXPECT_TRUE(log.finished);
    }
    static int FrameAt(MoviePlayer* player, double t) {
        Ref<PixelBuffer> buffer = player->CopyPixelBufferForItemTime(t, nullptr);
        return testsupport::BarsNumber(buffer.get());
    }
    static int StepAndRead(MoviePlayer* player, int frames) {
        player->StepByCount(frames);
        Ref<MovieItem> item = player->CurrentItem();
        EXPECT_TRUE(WaitFor([&] { return item->IsIdle(); }));
        return FrameAt(player, player->CurrentTime());
    }
    testsupport::FakeClock fClock;
};

struct StatusLog {
    std::atomic<int> calls{0};
    std::atomic<int> status{-1};
    static void Changed(MovieItem*, MovieItem::Status status, void* info) {
        auto* log = static_cast<StatusLog*>(info);
        log->status = static_cast<int>(status);
        ++log->calls;
    }
};

TEST_F(MoviePlayerTest, ItemsReportStatusOnceAndReleaseAtOnceWhileOpening) {
    StatusLog ready;
    Ref<MovieItem> item =
        Adopt(MovieItem::Create(MovieFixtures::Get().Path("bars.mp4"), StatusLog::Changed, &ready));
    ASSERT_TRUE(WaitFor([&] { return ready.calls.load() > 0; }));
    EXPECT_EQ(ready.status.load(), static_cast<int>(MovieItem::Status::kReady));
    MovieInfo info = item->Info();
    EXPECT_TRUE(info.hasVideo && info.hasAudio);
    EXPECT_NEAR(info.duration, 3, 0.05);

    testsupport::TempDir dir;
    dir.Write("junk.mp4", std::string(3000, '\x17'));
    StatusLog junk;
    Ref<MovieItem> bad = Adopt(MovieItem::Create(dir.File("junk.mp4"), StatusLog::Changed, &junk));
    ASSERT_TRUE(WaitFor([&] { return junk.calls.load() > 0; }));
    EXPECT_EQ(junk.status.load(), static_cast<int>(MovieItem::Status::kFailed));

    // A FIFO without a writer: failed, and neither blocks nor outlives its item.
    ASSERT_EQ(mkfifo(dir.File("fifo.mp4").c_str(), 0600), 0);
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 5; ++i) {
        StatusLog fifo;
        MovieItem* hanging = MovieItem::Create(dir.File("fifo.mp4"), StatusLog::Changed, &fifo);
        hanging->Release();
        EXPECT_LE(fifo.calls.load(), 1);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));

    Ref<MovieItem> still = Load("still.png");
    EXPECT_TRUE(still->Info().isImage);
    EXPECT_LT(still->Info().duration, 0.1);
}

TEST_F(MoviePlayerTest, ExactSeekGivesTheFrameAtThatTime) {
    for (const char* name : {"bars.mp4", "mjpeg.avi"}) {
        SCOPED_TRACE(name);
        Ref<MoviePlayer> player = PlayerWith(name);
        SeekAndWait(player.get(), 1.5);
        EXPECT_EQ(FrameAt(player.get(), 1.5), 45);
    }
}

TEST_F(MoviePlayerTest, InterruptedSeekCompletesUnfinishedExactlyOnce) {
    Ref<MoviePlayer> player = PlayerWith("bars.mp4");
    SeekLog older;
    SeekLog newer;
    SeekLog stepped;
    player->SeekToTime(0.5, SeekLog::Done, &older);
    player->SeekToTime(2.0, SeekLog::Done, &newer);
    ASSERT_TRUE(WaitFor([&] { return older.calls > 0 && newer.calls > 0; }));
    for (int i = 0; i < 50; ++i) RunLoop::Current()->RunInMode(kRunLoopDefaultMode, 0, false);
    EXPECT_EQ(older.calls, 1);
    EXPECT_FALSE(older.finished);
    EXPECT_EQ(newer.calls, 1);
    EXPECT_TRUE(newer.finished);
    EXPECT_EQ(FrameAt(player.get(), 2.0), 60);

    // A step and an item change complete a pending seek unfinished too.
    player->SeekToTime(1.0, SeekLog::Done, &stepped);
    player->StepByCount(1);
    SeekLog replaced;
    player->SeekToTime(1.0, SeekLog::Done, &replaced);
    player->ReplaceCurrentItem(nullptr);
    ASSERT_TRUE(WaitFor([&] { return stepped.calls > 0 && replaced.calls > 0; }));
    for (int i = 0; i < 50; ++i) RunLoop::Current()->RunInMode(kRunLoopDefaultMode, 0, false);
    EXPECT_EQ(stepped.calls, 1);
    EXPECT_FALSE(stepped.finished);
    EXPECT_EQ(replaced.calls, 1);
    EXPECT_FALSE(replaced.finished);
}

TEST_F(MoviePlayerTest, RateOneDeliversEveryFrameOnceThenEnds) {
    Ref<MoviePlayer> player = PlayerWith("bars.mp4");
    int ends = 0;
    player->SetEndCallback(CountEnd, &ends);
    SeekAndWait(player.get(), 0);
    player->SetRate(1);
    for (int i = 0; i < MovieFixtures::kFrames; ++i) {
        double t = player->CurrentTime();
        ASSERT_TRUE(WaitFor([&] { return player->HasNewPixelBufferForItemTime(t); })) << i;
        double shown = -1;
        Ref<PixelBuffer> buffer = player->CopyPixelBufferForItemTime(t, &shown);
        ASSERT_EQ(testsupport::BarsNumber(buffer.get()), i);
        EXPECT_FALSE(player->HasNewPixelBufferForItemTime(t));
        fClock.Advance(1.0 / 30);
    }
    fClock.Advance(0.001);  // past 3 s whatever the clock's rounding
    ASSERT_TRUE(WaitFor([&] { return player->CurrentTime() >= 3 - 1e-9 && ends > 0; }));
    EXPECT_EQ(player->Rate(), 0);
    for (int i = 0; i < 20; ++i) {
        fClock.Advance(0.1);
        (void)player->CurrentTime();
        RunLoop::Current()->RunInMode(kRunLoopDefaultMode, 0, false);
    }
    EXPECT_EQ(ends, 1);
}

TEST_F(MoviePlayerTest, RateTwoMovesTwiceAsFast) {
    Ref<MoviePlayer> player = PlayerWith("bars.mp4");
    SeekAndWait(player.get(), 0);
    player->SetRate(2);
    for (int i = 1; i <= 20; ++i) {
        fClock.Advance(1.0 / 30);
        double t = player->CurrentTime();
        EXPECT_NEAR(t, i * 2 / 30.0, 1e-6);
        ASSERT_TRUE(WaitFor([&] { return FrameAt(player.get(), t) == 2 * i; })) << i;
    }
}

TEST_F(MoviePlayerTest, ReversePlayDescendsToTheStartAndEnds) {
    Ref<MoviePlayer> player = Adopt(MoviePlayer::Create());
    player->ReplaceCurrentItem(
        Adopt(MovieItem::Create(MovieFixtures::Get().Path("bars.mp4"), nullptr, nullptr, size_t{40} * 1024))
            .get());
    Ref<MovieItem> item = player->CurrentItem();
    ASSERT_TRUE(WaitFor([&] { return item->GetStatus() == MovieItem::Status::kReady; }));
    int ends = 0;
    player->SetEndCallback(CountEnd, &ends);
    SeekAndWait(player.get(), 3.0);
    EXPECT_EQ(FrameAt(player.get(), 3.0), 89);
    player->SetRate(-1);
    for (int expected = 89; expected >= 0; --expected) {
        fClock.Advance(1.0 / 30);
        double t = player->CurrentTime();
        ASSERT_TRUE(WaitFor([&] { return FrameAt(player.get(), t) == expected; })) << expected;
    }
    fClock.Advance(1.0 / 30 + 0.001);
    ASSERT_TRUE(WaitFor([&] { return (void)player->CurrentTime(), ends > 0; }));
    EXPECT_EQ(player->Rate(), 0);
    EXPECT_EQ(ends, 1);
}

TEST_F(MoviePlayerTest, StepsAreExactAcrossKeyFramesAndStopAtTheEnds) {
    for (const char* name : {"bars.mp4", "mjpeg.avi"}) {
        SCOPED_TRACE(name);
        Ref<MoviePlayer> player = PlayerWith(name);
        SeekAndWait(player.get(), 29 / 30.0);
        EXPECT_EQ(StepAndRead(player.get(), 1), 30);
        EXPECT_EQ(StepAndRead(player.get(), 1), 31);
        EXPECT_EQ(StepAndRead(player.get(), -1), 30);
        EXPECT_EQ(StepAndRead(player.get(), -1), 29);
        EXPECT_EQ(StepAndRead(player.get(), -1), 28);
        SeekAndWait(player.get(), 0);
        EXPECT_EQ(StepAndRead(player.get(), -1), 0);
        SeekAndWait(player.get(), 3);
        EXPECT_EQ(StepAndRead(player.get(), 1), 89);
        EXPECT_EQ(StepAndRead(player.get(), -3), 86);
    }
}

}  // namespace
