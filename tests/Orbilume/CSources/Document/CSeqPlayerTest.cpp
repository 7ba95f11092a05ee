#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "Lib3/LSources/CoreData/SRecordEvent.h"
#include "Orbilume/CSources/Document/CDocModelHolder.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/CSeqPlayer.h"
#include "Orbilume/CSources/Document/UDocModel.h"
#include "Orbilume/CSources/Document/UDocScenes.h"
#include "tests/Orbilume/CSources/Document/SeqTestLoop.h"
#include "tests/support/FakeTimecodeSources.h"

namespace {

using T = CDocModelTypes;
using testsupport::FakeMediaTimecodeSource;
using testsupport::FakeTimecodeSource;

struct SceneSpec {
    float time;
    const char* key;
};

// A show, its player on a worker loop with a fake clock, and a log of what the player tells the
// model: "R<n>" recall requests (field 8), "I<n>" scene index (11), "S<n>" shown state (13).
// Every change of the model is checked to arrive on the main thread.
struct SeqPlayerTest : ::testing::Test {
    SeqPlayerTest() { model.AddObserver(this, &Observe); }
    ~SeqPlayerTest() override { model.RemoveObserver(this, &Observe); }

    static void Observe(void* context, const SRecordEvent* e) {
        auto* self = static_cast<SeqPlayerTest*>(context);
        ++self->changes;
        if (std::this_thread::get_id() != self->mainThread) ++self->offMain;
        if (e->kind != SRecordEvent::kValueChanged || e->record.Get() != self->Scns().Get()) return;
        const CRecord* s = self->Scns().Get();
        switch (e->field) {
            case T::kScnsRecall:
                if (s->GetInt(T::kScnsRecall) >= 0) self->Log("R", s->GetInt(T::kScnsRecall));
                break;
            case T::kScnsCurIndex:
                self->Log("I", int32_t(s->GetUInt(T::kScnsCurIndex)));
                break;
            case T::kScnsTransport:
                self->Log("S", s->GetByte(T::kScnsTransport));
                break;
            case T::kScnsCurTime:
                ++self->timeChanges;
                break;
            default:
                break;
        }
    }
    void Log(const char* what, int32_t n) {
        if (!log.empty()) log += ' ';
        log += what + std::to_string(n);
    }
    void Mark() { log += " |"; }

    CRecordRef Scns() { return model.Scenes(); }
    void AddScenes(const std::vector<SceneSpec>& scenes) {
        for (const SceneSpec& spec : scenes) {
            CRecord* s = UDocScenes::NewScene();
            s->StringSlot(T::kScneKey) = LString(spec.key);
            UDocScenes::InsertSceneByTime(Scns(), nullptr, spec.time, s);
        }
        log.clear();
    }
    // Moves time on; with LTC selected the source sends the time since `ltcFrom` every frame.
    void Run(uint32_t ms) {
        loop.Advance(ms, 11, [&](uint32_t done) {
            if (feedLtc && done % 33 == 0) ltc.FeedMs(30, ltcAt + done);
        });
        ltcAt += ms;
    }
    TimecodeSourceGroup Group() {
        TimecodeSourceGroup g;
        g.ltc = &ltc;
        g.mtc = &mtc;
        g.clock = &clock;
        g.music = &music;
        return g;
    }
    int32_t Position() { return player.Timer().Position(); }

    seqtest::SeqTestLoop loop;
    FakeTimecodeSource ltc{loop.Worker()};
    FakeTimecodeSource mtc{loop.Worker()};
    FakeTimecodeSource clock{loop.Worker()};
    FakeMediaTimecodeSource music{loop.Worker()};
    CDocModelHolder model;
    CSeqPlayer player{loop.Worker(), Group(), &model};

    std::string log;
    int changes = 0;
    int offMain = 0;
    int timeChanges = 0;
    bool feedLtc = false;
    uint32_t ltcAt = 0;
    std::thread::id mainThread = std::this_thread::get_id();
};

TEST_F(SeqPlayerTest, Scenarios) {
    const std::vector<SceneSpec> three = {{0, ""}, {5, ""}, {10, ""}};
    const std::vector<SceneSpec> keyed = {{0, ""}, {5, "A"}, {10, ""}};
    struct Case {
        const char* name;
        std::vector<SceneSpec> scenes;
        uint32_t source;
        std::function<void(SeqPlayerTest&)> script;
        const char* log;
    } cases[] = {
        {"scenes are recalled in order", three, CSeqcTimer::kInternal,
         [](SeqPlayerTest& t) {
             t.player.Play();
             t.Run(10100);
         },
         "S1 S2 R0 I1 R1 I2 R2 I3"},
        {"scenes at one time are recalled in one pass",
         {{0, ""}, {2, ""}, {2, ""}},
         CSeqcTimer::kInternal,
         [](SeqPlayerTest& t) {
             t.player.Play();
             t.Run(2100);
         },
         "S1 S2 R0 I1 R1 R2 I3"},
        {"a keyed scene stops the play and is recalled by the next one", keyed, CSeqcTimer::kInternal,
         [](SeqPlayerTest& t) {
             t.player.Play();
             t.Run(6000);
             EXPECT_EQ(t.Position(), 5000);
             EXPECT_FALSE(t.player.IsPlaying());
             EXPECT_EQ(t.Scns()->GetFloat(T::kScnsCurTime), 5.0f);
             t.Mark();
             t.player.Play();
             t.Run(40);
             t.Mark();
             t.Run(5100);
         },
         "S1 S2 R0 I1 S0 | S1 S2 R1 I2 | R2 I3"},
        {"under LTC a keyed scene is recalled without stopping", keyed, CSeqcTimer::kLtc,
         [](SeqPlayerTest& t) {
             t.feedLtc = true;
             t.player.Play();
             t.Run(10100);
             EXPECT_TRUE(t.player.IsPlaying());
         },
         "S1 I1 R0 S2 R1 I2 R2 I3"},
        {"a scene index beyond the list goes to the last scene", three, CSeqcTimer::kInternal,
         [](SeqPlayerTest& t) {
             t.player.LocateScene(7);
             EXPECT_EQ(t.Position(), 10000);
             EXPECT_EQ(t.player.Index(), 2u);
         },
         "I2"},
        {"locating a time recalls the scene before it", three, CSeqcTimer::kInternal,
         [](SeqPlayerTest& t) {
             t.player.LocateTime(7);
             EXPECT_EQ(t.Position(), 7000);
             EXPECT_EQ(t.Scns()->GetFloat(T::kScnsCurTime), 7.0f);
         },
         "I2 R1"},
        {"locates are ignored under LTC", three, CSeqcTimer::kLtc,
         [](SeqPlayerTest& t) {
             t.player.LocateScene(2);
             t.player.LocateTime(7);
             EXPECT_EQ(t.Position(), 0);
         },
         ""},
        {"clearing time-line mode stops", three, CSeqcTimer::kInternal,
         [](SeqPlayerTest& t) {
             t.player.Play();
             t.Run(1000);
             t.Scns().SetByte(nullptr, T::kScnsTimeLine, 0);
             EXPECT_EQ(t.player.Timer().TransportState(), CSeqcTimer::kStopped);
             t.Run(5000);
         },
         "S1 S2 R0 I1 S0"},
        {"re-timing a scene while playing reindexes without a recall", three, CSeqcTimer::kInternal,
         [](SeqPlayerTest& t) {
             t.player.Play();
             t.Run(6000);
             t.Mark();
             UDocScenes::SetSceneTimeSorted(t.Scns(), nullptr, 2, 3.0f);
             t.Mark();
             t.Run(6000);
         },
         "S1 S2 R0 I1 R1 I2 | I3 |"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SeqPlayerTest& t = *this;
        // A fresh show for each case.
        t.player.Stop();
        t.player.Timer().SetSyncSource(CSeqcTimer::kInternal);
        t.player.LocateTime(0);
        while (UDocModel::GetSceneCount(t.Scns().Get()) > 0) UDocScenes::DeleteScene(t.Scns(), nullptr, 0);
        t.Scns().SetByte(nullptr, T::kScnsTimeLine, 1);
        t.AddScenes(c.scenes);
        t.player.Reindex();
        t.player.Timer().SetSyncSource(c.source);
        t.feedLtc = false;
        t.ltcAt = 0;
        t.log.clear();
        c.script(t);
        EXPECT_EQ(t.log, c.log);
    }
    EXPECT_EQ(offMain, 0);
}

TEST_F(SeqPlayerTest, SecondsToMilliseconds) {
    const float inf = std::numeric_limits<float>::infinity();
    struct Case {
        float seconds;
        int32_t ms;
    } cases[] = {
        {0, 0},
        {1, 1000},
        {0.0015f, 2},
        {-0.0015f, -2},
        {0.0014f, 1},
        {-0.0014f, -1},
        {86400, 86400000},
        {std::nanf(""), 0},
        {inf, 0},
        {-inf, 0},
        {1e30f, INT32_MAX},
        {-1e30f, INT32_MIN},
        {2147484.0f, INT32_MAX},
    };
    for (const Case& c : cases) EXPECT_EQ(CSeqPlayer::SecondsToMs(c.seconds), c.ms) << c.seconds;
}

// Out-of-range times from a file or a request never put the position beyond the day.
TEST_F(SeqPlayerTest, WildTimesStayWithinTheDay) {
    AddScenes({{std::nanf(""), ""}, {1e30f, ""}, {-50, ""}});
    player.LocateTime(200000);
    EXPECT_EQ(Position(), CSeqcTimer::kMaxPosition);
    EXPECT_FLOAT_EQ(Scns()->GetFloat(T::kScnsCurTime), 86399.999f);
    for (uint32_t n = 0; n < 3; ++n) {
        player.LocateScene(n);
        const float time = UDocModel::GetSceneAt(Scns().Get(), n)->GetFloat(T::kScneTime);
        EXPECT_GE(Position(), 0) << time;
        EXPECT_LE(Position(), CSeqcTimer::kMaxPosition) << time;
        if (std::isnan(time)) {
            EXPECT_EQ(Position(), 0);
        }
    }
    player.LocateTime(-3);
    EXPECT_EQ(Position(), 0);
    player.LocateTime(std::nanf(""));
    EXPECT_EQ(Position(), 0);
}

TEST_F(SeqPlayerTest, EmptyListLocatesToZero) {
    player.LocateTime(3);
    log.clear();
    player.LocateScene(4);
    EXPECT_EQ(Position(), 0);
    EXPECT_EQ(player.Index(), 0u);
    EXPECT_EQ(log, "");  // nothing to recall
}

// The defaults of a new show ('sqfr' = 'sqto' = 0) with looping on: play goes on, quietly.
TEST_F(SeqPlayerTest, EmptyRangeInLoopModePlaysOnWithoutAStorm) {
    AddScenes({{0, ""}, {0.5f, ""}});
    player.Timer().SetRange(0, 0);
    player.Timer().SetEndMode(CSeqcTimer::kLoop);
    player.Play();
    timeChanges = 0;
    Run(1000);
    EXPECT_EQ(log, "S1 S2 R0 I1 R1 I2");
    EXPECT_EQ(player.Timer().TransportState(), CSeqcTimer::kRunning);
    EXPECT_LE(timeChanges, 31);  // one per tick
    EXPECT_EQ(Position(), 1000);
}

// Every write of the player reaches the model on the main thread, through ticks, a loop, a locate
// and a lock to LTC arriving on a thread of its own.
TEST_F(SeqPlayerTest, AllModelChangesHappenOnTheMainThread) {
    AddScenes({{0, ""}, {0.5f, ""}, {1.5f, "K"}, {2.5f, ""}});
    player.Timer().SetRange(1000, 2000);
    player.Timer().SetEndMode(CSeqcTimer::kLoop);
    player.Play();
    Run(1600);  // stops at the key at 1.5 s
    player.Play();
    Run(1000);  // loops at 2 s
    EXPECT_NE(log.find("S0 S1 S2"), std::string::npos) << log;
    player.LocateTime(0.7f);
    player.Play();
    Run(300);
    player.Stop();

    player.Timer().SetSyncSource(CSeqcTimer::kLtc);
    player.Play();
    const std::string before = log;
    loop.Advance(1500, 11, [&](uint32_t done) {
        if (done % 33 == 0) std::thread([&] { ltc.FeedMs(30, 2000 + done); }).join();
    });
    EXPECT_EQ(player.Timer().SyncState(), 3u);
    EXPECT_NE(log.substr(before.size()).find("R3"), std::string::npos) << log;
    player.Stop();
    EXPECT_GT(changes, 100);
    EXPECT_EQ(offMain, 0);
}

TEST_F(SeqPlayerTest, StopUnderTimecodeShowsStoppedAndPlayLocksAnew) {
    AddScenes({{0, ""}});
    player.Timer().SetSyncSource(CSeqcTimer::kMtc);
    player.Play();
    EXPECT_EQ(log, "S1");  // waiting for the source
    mtc.FeedMs(30, 1000);
    loop.Advance(33);
    mtc.FeedMs(30, 1033);
    loop.Settle();
    EXPECT_EQ(log, "S1 I1 R0 S2");
    // The source falls silent: the transport stops, the player still waits for it.
    loop.Advance(250);
    EXPECT_EQ(player.Timer().TransportState(), CSeqcTimer::kStopped);
    EXPECT_TRUE(player.IsPlaying());
    EXPECT_EQ(log, "S1 I1 R0 S2 S1");
    player.Stop();
    EXPECT_EQ(log, "S1 I1 R0 S2 S1 S0");
    EXPECT_FALSE(player.IsPlaying());
}

}  // namespace
