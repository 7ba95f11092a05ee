#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Orbilume/CSources/Document/CSeqcTimer.h"
#include "tests/Orbilume/CSources/Document/SeqTestLoop.h"
#include "tests/support/FakeTimecodeSources.h"

namespace {

using testsupport::FakeMediaTimecodeSource;
using testsupport::FakeTimecodeSource;

// Stands in for the sequence player: answers Start with Run and Loop with Play, and records every
// message ("Located" with the position it reads then); ticks are counted with their positions.
class Upper : public LHandler {
public:
    Upper() : LHandler(nullptr) {}
    LMessage Handle(const LMessage& msg) override {
        if (msg.Is(CSeqcTimer_Time)) {
            std::lock_guard<std::mutex> g(m);
            ticks.push_back(timer->Position());
            offMain += std::this_thread::get_id() == mainThread ? 0 : 1;
            return LMessage();
        }
        std::string text = msg.id.Text();
        if (msg.Is(CSeqcTimer_Located)) text += "@" + std::to_string(timer->Position());
        if (msg.Is(CSeqcTimer_Start)) startStates.push_back(timer->TransportState());
        {
            std::lock_guard<std::mutex> g(m);
            ids.push_back(text);
        }
        if (msg.Is(CSeqcTimer_Start)) timer->Run();
        if (msg.Is(CSeqcTimer_Loop)) timer->Play();
        return LMessage();
    }
    std::vector<std::string> Ids() {
        std::lock_guard<std::mutex> g(m);
        return ids;
    }
    std::vector<int32_t> Ticks() {
        std::lock_guard<std::mutex> g(m);
        return ticks;
    }
    void Clear() {
        std::lock_guard<std::mutex> g(m);
        ids.clear();
        ticks.clear();
    }

    CSeqcTimer* timer = nullptr;
    std::mutex m;
    std::vector<std::string> ids;
    std::vector<int32_t> ticks;
    std::vector<uint32_t> startStates;
    std::atomic<int> offMain{0};
    std::thread::id mainThread = std::this_thread::get_id();
};

using Ids = std::vector<std::string>;

struct SeqcTimerTest : ::testing::Test {
    SeqcTimerTest() { upper.timer = &timer; }
    ~SeqcTimerTest() override { timer.SetSyncSource(CSeqcTimer::kInternal); }

    TimecodeSourceGroup Group() {
        TimecodeSourceGroup g;
        g.ltc = &ltc;
        g.mtc = &mtc;
        g.clock = &clock;
        g.music = &music;
        return g;
    }
    // Locks the timer to LTC at `ms` with two frames and lets it start there.
    void LockLtcAt(uint32_t ms) {
        timer.SetSyncSource(CSeqcTimer::kLtc);
        ltc.FeedMs(30, ms);
        loop.Advance(33);
        ltc.FeedMs(30, ms + 33);
        loop.Settle();
    }

    seqtest::SeqTestLoop loop;
    FakeTimecodeSource ltc{loop.Worker()};
    FakeTimecodeSource mtc{loop.Worker()};
    FakeTimecodeSource clock{loop.Worker()};
    FakeMediaTimecodeSource music{loop.Worker()};
    Upper upper;
    CSeqcTimer timer{&upper, loop.Worker(), Group()};
};

TEST_F(SeqcTimerTest, PlayStartsInTwoStepsAndTicksEvery33Ms) {
    EXPECT_EQ(timer.TransportState(), CSeqcTimer::kStopped);
    timer.Locate(0);
    upper.Clear();
    timer.Play();
    EXPECT_EQ(upper.startStates, (std::vector<uint32_t>{CSeqcTimer::kStarting}));
    EXPECT_EQ(timer.TransportState(), CSeqcTimer::kRunning);
    loop.Advance(330);
    EXPECT_EQ(upper.Ids(), Ids{"CSeqcTimer_Start"});
    EXPECT_EQ(upper.Ticks(), (std::vector<int32_t>{33, 66, 99, 132, 165, 198, 231, 264, 297, 330}));
    EXPECT_EQ(upper.offMain, 10);  // ticks come from the worker loop
    EXPECT_EQ(timer.Position(), 330);

    // Playing again while running starts nothing new.
    timer.Play();
    EXPECT_EQ(upper.Ids(), Ids{"CSeqcTimer_Start"});
}

TEST_F(SeqcTimerTest, LocateWhileRunningStopsAndSetsThePositionExactly) {
    timer.Play();
    loop.Advance(100);
    upper.Clear();
    timer.Locate(12345);
    EXPECT_EQ(upper.Ids(), (Ids{"CSeqcTimer_Stop", "CSeqcTimer_Located@12345"}));
    EXPECT_EQ(timer.TransportState(), CSeqcTimer::kStopped);
    loop.Advance(100);
    EXPECT_EQ(timer.Position(), 12345);
    EXPECT_TRUE(upper.Ticks().empty());

    // Stopping keeps the position where the clock stood; the next start goes on from there.
    timer.Play();
    loop.Advance(50, 1);
    timer.Stop();
    EXPECT_EQ(timer.Position(), 12395);
    loop.Advance(500);
    timer.Play();
    loop.Advance(10, 1);
    EXPECT_EQ(timer.Position(), 12405);
}

TEST_F(SeqcTimerTest, EndOfTheRangeLoopsOrStopsAndReturns) {
    struct Case {
        uint32_t mode;
        Ids ids;
        uint32_t state;
        int32_t low, high;  // the position 100 ms later
    } cases[] = {
        {CSeqcTimer::kLoop,
         {"CSeqcTimer_Stop", "CSeqcTimer_Located@10000", "CSeqcTimer_Loop", "CSeqcTimer_Start"},
         CSeqcTimer::kRunning,
         10000,
         10100},
        {CSeqcTimer::kStopAndReturn,
         {"CSeqcTimer_Stop", "CSeqcTimer_Located@10000"},
         CSeqcTimer::kStopped,
         10000,
         10000},
        {CSeqcTimer::kPlayOn, {}, CSeqcTimer::kRunning, 20090, 20090},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        timer.SetRange(10000, 20000);
        timer.SetEndMode(c.mode);
        timer.Locate(19000);
        timer.Play();
        upper.Clear();
        int32_t highest = 0;
        loop.Advance(990, 11, [&](uint32_t) { highest = std::max(highest, timer.Position()); });
        EXPECT_EQ(upper.Ids(), Ids{});
        EXPECT_EQ(highest, 19990);
        loop.Advance(100);
        EXPECT_EQ(upper.Ids(), c.ids);
        EXPECT_EQ(timer.TransportState(), c.state);
        EXPECT_GE(timer.Position(), c.low);
        EXPECT_LE(timer.Position(), c.high);
        timer.Stop();
    }
}

// Play while running, with the end of the range (or of the day) reached but not yet handled: the
// pending event is kept, so the end is still handled and the ticks go on.
TEST_F(SeqcTimerTest, PlayWhileRunningKeepsAPendingEnd) {
    timer.SetRange(10000, 20000);
    timer.SetEndMode(CSeqcTimer::kLoop);
    timer.Locate(19990);
    timer.Play();
    upper.Clear();
    loop.AdvanceWorkerOnly(33);  // the tick at 20,023 ms posts the end
    timer.Play();
    loop.Settle();
    EXPECT_EQ(upper.Ids(),
              (Ids{"CSeqcTimer_Stop", "CSeqcTimer_Located@10000", "CSeqcTimer_Loop", "CSeqcTimer_Start"}));
    upper.Clear();
    loop.Advance(66);
    EXPECT_EQ(upper.Ticks(), (std::vector<int32_t>{10033, 10066}));

    timer.SetEndMode(CSeqcTimer::kPlayOn);
    timer.Locate(86399966);
    timer.Play();
    upper.Clear();
    loop.AdvanceWorkerOnly(33);  // the tick at 86,399,999 ms posts the stop
    timer.Play();
    loop.Settle();
    EXPECT_EQ(upper.Ids(), Ids{"CSeqcTimer_Stop"});
    EXPECT_EQ(timer.TransportState(), CSeqcTimer::kStopped);
}

// An empty or reversed range (the defaults 0..0 with looping on) has no end: play goes on, with no
// stop, locate, loop and restart on every start.
TEST_F(SeqcTimerTest, EmptyOrReversedRangePlaysOnWithoutAStorm) {
    struct Case {
        int32_t start, end;
    } cases[] = {{0, 0}, {20000, 10000}, {5000, 5000}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.start);
        timer.SetRange(c.start, c.end);
        timer.SetEndMode(CSeqcTimer::kLoop);
        timer.Locate(c.start);
        upper.Clear();
        timer.Play();
        loop.Advance(1000);
        EXPECT_EQ(upper.Ids(), Ids{"CSeqcTimer_Start"});
        EXPECT_EQ(upper.Ticks().size(), 30u);
        EXPECT_EQ(timer.Position(), c.start + 1000);
        timer.Stop();
    }
}

TEST_F(SeqcTimerTest, ExternalSourceIgnoresTheEndOfTheRange) {
    timer.SetRange(10000, 20000);
    timer.SetEndMode(CSeqcTimer::kLoop);
    LockLtcAt(19000);
    ASSERT_EQ(timer.TransportState(), CSeqcTimer::kRunning);
    upper.Clear();
    uint32_t ms = 19033;
    loop.Advance(2000, 11, [&](uint32_t done) {
        if (done % 33 == 0) ltc.FeedMs(30, ms + done);
    });
    EXPECT_EQ(upper.Ids(), Ids{});
    EXPECT_GT(timer.Position(), 21000);
}

TEST_F(SeqcTimerTest, PositionStopsAtTheEndOfTheDay) {
    timer.Locate(86399900);
    timer.Play();
    int32_t highest = 0;
    loop.Advance(300, 11, [&](uint32_t) { highest = std::max(highest, timer.Position()); });
    EXPECT_EQ(highest, CSeqcTimer::kMaxPosition);
    EXPECT_EQ(timer.TransportState(), CSeqcTimer::kStopped);
    EXPECT_EQ(upper.Ids(), (Ids{"CSeqcTimer_Located@86399900", "CSeqcTimer_Start", "CSeqcTimer_Stop"}));
    EXPECT_EQ(upper.Ticks().back(), CSeqcTimer::kMaxPosition);
    loop.Advance(500);
    EXPECT_EQ(timer.Position(), CSeqcTimer::kMaxPosition);
}

TEST_F(SeqcTimerTest, LocateTargetsAreClampedToTheDay) {
    struct Case {
        int32_t target, expected;
    } cases[] = {{-5, 0},
                 {INT32_MIN, 0},
                 {200000000, CSeqcTimer::kMaxPosition},
                 {CSeqcTimer::kDayMs, CSeqcTimer::kMaxPosition},
                 {86399999, 86399999},
                 {0, 0}};
    for (const Case& c : cases) {
        timer.Locate(c.target);
        EXPECT_EQ(timer.Position(), c.expected) << c.target;
    }
}

TEST_F(SeqcTimerTest, LtcLocksAfterTwoMessagesAndFollowsConfirmedJumps) {
    timer.SetSyncSource(CSeqcTimer::kLtc);
    ltc.Feed(30, 10, 0, 0, 0);
    loop.Settle();
    EXPECT_EQ(timer.SyncState(), 1u);
    EXPECT_EQ(upper.Ids(), Ids{});
    loop.Advance(33);
    ltc.Feed(30, 10, 0, 0, 0);
    loop.Settle();
    EXPECT_EQ(upper.Ids(), (Ids{"CSeqcTimer_Located@36000000", "CSeqcTimer_Start"}));
    EXPECT_EQ(timer.TransportState(), CSeqcTimer::kRunning);
    EXPECT_EQ(timer.SyncState(), 3u);
    upper.Clear();

    // In tolerance: followed.
    loop.Advance(990);
    ltc.FeedMs(30, 36001000);
    loop.Settle();
    EXPECT_EQ(timer.SyncState(), 3u);
    // One message 5 s off is ignored.
    ltc.FeedMs(30, 36006000);
    loop.Advance(33);
    EXPECT_EQ(timer.SyncState(), 2u);
    EXPECT_LT(timer.Position(), 36002000);
    // The next one in tolerance brings the lock back.
    ltc.FeedMs(30, 36001033);
    loop.Settle();
    EXPECT_EQ(timer.SyncState(), 3u);
    EXPECT_EQ(upper.Ids(), Ids{});
    // Two jumps in a row are followed.
    ltc.FeedMs(30, 36006000);
    loop.Advance(33);
    ltc.FeedMs(30, 36006033);
    loop.Settle();
    EXPECT_EQ(upper.Ids(), (Ids{"CSeqcTimer_Stop", "CSeqcTimer_Located@36006033", "CSeqcTimer_Start"}));
    EXPECT_GE(timer.Position(), 36006033);
    EXPECT_EQ(timer.TransportState(), CSeqcTimer::kRunning);
}

TEST_F(SeqcTimerTest, SilentSourceStopsAfterTheWatchdog) {
    struct Case {
        uint32_t source;
        uint32_t period;
    } cases[] = {{CSeqcTimer::kMtc, 200}, {CSeqcTimer::kLtc, 2000}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        FakeTimecodeSource& source = c.source == CSeqcTimer::kMtc ? mtc : ltc;
        timer.SetSyncSource(c.source);
        source.FeedMs(30, 60000);
        loop.Advance(33);
        source.FeedMs(30, 60033);
        loop.Settle();
        ASSERT_EQ(timer.TransportState(), CSeqcTimer::kRunning);
        loop.Advance(c.period - 10, 10);
        EXPECT_EQ(timer.TransportState(), CSeqcTimer::kRunning);
        loop.Advance(10, 1);
        EXPECT_EQ(timer.TransportState(), CSeqcTimer::kStopped);
        EXPECT_EQ(timer.SyncState(), 0u);
        timer.SetSyncSource(CSeqcTimer::kInternal);
    }
}

TEST_F(SeqcTimerTest, SelectingTheSelectedSourceChangesNothingAnotherOneStops) {
    LockLtcAt(5000);
    ASSERT_EQ(timer.TransportState(), CSeqcTimer::kRunning);
    upper.Clear();
    timer.SetSyncSource(CSeqcTimer::kLtc);
    EXPECT_EQ(timer.TransportState(), CSeqcTimer::kRunning);
    EXPECT_EQ(timer.SyncState(), 3u);
    EXPECT_EQ(ltc.ListenerCount(), 1u);
    EXPECT_EQ(upper.Ids(), Ids{});

    timer.SetSyncSource(CSeqcTimer::kMtc);
    EXPECT_EQ(timer.TransportState(), CSeqcTimer::kStopped);
    EXPECT_EQ(timer.SyncState(), 0u);
    EXPECT_EQ(upper.Ids(), Ids{"CSeqcTimer_Stop"});
    EXPECT_EQ(ltc.ListenerCount(), 0u);
    EXPECT_EQ(mtc.ListenerCount(), 1u);
    // The old source no longer moves anything.
    ltc.FeedMs(30, 9000);
    ltc.FeedMs(30, 9033);
    loop.Settle();
    EXPECT_EQ(upper.Ids(), Ids{"CSeqcTimer_Stop"});

    timer.SetSyncSource(CSeqcTimer::kInternal);
    EXPECT_EQ(mtc.ListenerCount(), 0u);
}

TEST_F(SeqcTimerTest, LocatesAndPlayAreIgnoredUnderTimecode) {
    LockLtcAt(5000);
    upper.Clear();
    timer.Locate(1000);
    timer.Stop();
    timer.Play();
    EXPECT_EQ(upper.Ids(), Ids{});
    EXPECT_EQ(timer.TransportState(), CSeqcTimer::kRunning);
    EXPECT_GE(timer.Position(), 5033);
}

TEST_F(SeqcTimerTest, TimeOfDayLocatesOnTheFirstMessage) {
    timer.SetSyncSource(CSeqcTimer::kTimeOfDay);
    clock.FeedMs(100, 3600000);
    loop.Settle();
    EXPECT_EQ(upper.Ids(), (Ids{"CSeqcTimer_Located@3600000", "CSeqcTimer_Start"}));
    EXPECT_EQ(timer.SyncState(), 3u);
}

TEST_F(SeqcTimerTest, MediaPlayerIsMovedWithTheOffsetAndStoppedWithTheTransport) {
    timer.SetSyncSource(CSeqcTimer::kMusicApp);
    timer.SetOffset(1000);
    timer.Locate(5000);
    EXPECT_EQ(music.Requests(), (std::vector<std::string>{"Pause", "Locate 00:00:06:00"}));
    EXPECT_EQ(upper.Ids(), Ids{"CSeqcTimer_Located@5000"});
    timer.Play();
    EXPECT_EQ(music.Requests().back(), "Play");

    // The player reports its time: locked at once (offset taken off), then followed.
    music.FeedMs(6000);
    loop.Settle();
    EXPECT_EQ(timer.TransportState(), CSeqcTimer::kRunning);
    EXPECT_EQ(timer.SyncState(), 3u);
    upper.Clear();
    timer.Stop();
    EXPECT_EQ(music.Requests().back(), "Pause");
    loop.Settle();
    EXPECT_EQ(upper.Ids(), Ids{"CSeqcTimer_Stop"});
    EXPECT_EQ(timer.SyncState(), 0u);
}

// Timecode from outside: beyond a day, before the offset, backwards, in bursts.
TEST_F(SeqcTimerTest, WildTimecodeKeepsThePositionWithinTheDay) {
    timer.SetSyncSource(CSeqcTimer::kLtc);
    timer.SetOffset(3000);
    for (int i = 0; i < 2; ++i) ltc.Feed(30, 30, 0, 0, 0);  // hour 30
    loop.Settle();
    EXPECT_EQ(timer.Position(), CSeqcTimer::kMaxPosition);
    for (int i = 0; i < 2; ++i) ltc.Feed(30, 255, 255, 255, 255);
    loop.Settle();
    EXPECT_LE(timer.Position(), CSeqcTimer::kMaxPosition);
    for (int i = 0; i < 2; ++i) ltc.Feed(30, 0, 0, 1, 0);  // before the offset
    loop.Settle();
    EXPECT_EQ(timer.Position(), 0);

    // Time running backwards within the tolerance is followed, but the position never goes back.
    loop.Advance(100);
    int32_t last = timer.Position();
    for (uint32_t i = 0; i < 40; ++i) {
        ltc.FeedMs(30, 3000 + 2000 - i * 33);
        loop.Advance(33);
        EXPECT_GE(timer.Position(), last);
        last = timer.Position();
    }
    EXPECT_LT(last, 2000 + 40 * 33);

    // A burst of jumps back and forth costs one pending locate, not one each.
    upper.Clear();
    for (int i = 0; i < 5000; ++i) ltc.FeedMs(30, (i % 2) ? 50000000u : 1000000u);
    loop.Settle();
    int located = 0;
    for (const std::string& id : upper.Ids()) located += id.rfind("CSeqcTimer_Located", 0) == 0;
    EXPECT_LE(located, 1);
    EXPECT_GE(timer.Position(), 0);
    EXPECT_LE(timer.Position(), CSeqcTimer::kMaxPosition);
}

}  // namespace
