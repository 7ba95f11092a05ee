#include <gtest/gtest.h>

#include <string>

#include "Lib3/LSources/CoreData/LAsyncLoop.h"
#include "Orbilume/CSources/Timecode/SleepForMs.h"
#include "Orbilume/CSources/Timecode/Timecode.h"
#include "Orbilume/CSources/Timecode/TimecodeSource.h"

namespace {

Timecode Tc(uint32_t code, int h, int m, int s, int f) {
    Timecode t;
    t.Init(code);
    t.Set(uint8_t(h), uint8_t(m), uint8_t(s), uint8_t(f));
    return t;
}

Timecode FromCount(uint32_t code, uint32_t count, uint32_t units) {
    Timecode t;
    t.Init(code);
    t.FromCount(count, units);
    return t;
}

TEST(TimecodeTest, CountsOfTheExamples) {
    struct Case {
        uint32_t code;
        int h, m, s, f;
        uint32_t units;
        uint32_t count;
    } cases[] = {
        {30, 0, 1, 0, 0, 1000, 60000},  {25, 1, 0, 0, 12, 1000, 3600480},    {29, 0, 1, 0, 2, 1000, 60061},
        {29, 0, 0, 10, 0, 1000, 10010}, {100, 23, 59, 59, 99, 100, 8639999}, {1, 0, 0, 5, 0, 1, 5},
    };
    for (const Case& c : cases) {
        Timecode t = Tc(c.code, c.h, c.m, c.s, c.f);
        SCOPED_TRACE(t.Format() + " @" + std::to_string(c.code));
        EXPECT_EQ(t.ToCount(c.units), c.count);
        EXPECT_TRUE(FromCount(c.code, c.count, c.units).Equals(t));
    }
    // The day wraps; the half frame (20 ms) moves 1,520 ms to frame 13.
    EXPECT_TRUE(FromCount(25, 86400000 + 1500, 1000).Equals(Tc(25, 0, 0, 1, 13)));
}

TEST(TimecodeTest, SetRateGoesThroughMilliseconds) {
    Timecode t = Tc(30, 0, 0, 10, 15);
    t.SetRate(25);
    EXPECT_TRUE(t.Equals(Tc(25, 0, 0, 10, 13)));
    t.SetRate(25);
    EXPECT_TRUE(t.Equals(Tc(25, 0, 0, 10, 13)));
}

TEST(TimecodeTest, Format) {
    EXPECT_EQ(Tc(30, 1, 2, 3, 4).Format(), "01:02:03:04");
    EXPECT_EQ(Tc(100, 1, 2, 3, 4).Format(), "01:02:03.04");
    EXPECT_EQ(Tc(1, 1, 2, 3, 4).Format(), "01:02:03");
    EXPECT_EQ(Tc(29, 9, 5, 0, 7).Format(), "09:05:00:07");
    EXPECT_EQ(Tc(30, 23, 59, 59, 29).Format(), "23:59:59:29");
}

TEST(TimecodeTest, Parse) {
    struct Case {
        uint32_t code;
        const char* text;
        int sign;
        int h, m, s, f;
    } cases[] = {
        {30, "-00:00:02:15", -1, 0, 0, 2, 15},
        {30, "1:2", 1, 1, 2, 0, 0},
        {29, "00:01:00:00", 1, 0, 1, 0, 2},
        {29, "00:10:00:00", 1, 0, 10, 0, 0},
        {25, "::5:3", 1, 0, 0, 5, 3},
        {25, " 01:x02:03:04:99", 1, 1, 2, 3, 4},
        {100, "12:34:56.78", 1, 12, 34, 56, 78},  // Format's own "." separator
        {30, "12:34:56.20", 1, 14, 7, 40, 0},     // elsewhere "." is skipped: seconds 5620
        {1, "00:00:07:20", 1, 0, 0, 27, 0},       // frames count as seconds at code 1
        {30, "", 1, 0, 0, 0, 0},
        {30, "-", -1, 0, 0, 0, 0},
        {30, "25:00:00:00", 1, 1, 0, 0, 0},  // the day wraps
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Timecode t;
        t.Init(c.code);
        EXPECT_EQ(t.Parse(c.text), c.sign);
        Timecode want = Tc(c.code, c.h, c.m, c.s, c.f);
        EXPECT_TRUE(t.Equals(want)) << t.Format();
    }
}

TEST(TimecodeTest, ParseOfLongDigitRunsStaysDefined) {
    // Fields are clamped before any arithmetic; the result is some time of the day.
    const char* texts[] = {"99999999999999999999999:99999999999999:9999999999999:999999999999",
                           "4294967296:4294967296:4294967296:4294967296", "-::::::99999999999999999999"};
    for (const char* text : texts) {
        for (uint32_t code : {1u, 24u, 25u, 29u, 30u, 100u}) {
            Timecode t;
            t.Init(code);
            t.Parse(text);
            EXPECT_LT(t.hours, 24);
            EXPECT_LT(t.minutes, 60);
            EXPECT_LT(t.seconds, 60);
            EXPECT_LT(t.frames, t.Fps() > 1 ? t.Fps() : 1);
        }
    }
}

TEST(TimecodeTest, WideUnitsAndZeroUnits) {
    // The drop-frame scaling overflowed 32 bits above about 7,000 units per second.
    for (uint32_t units : {1000u, 1024u, 48000u, 96000u, 1000000u}) {
        for (Timecode t :
             {Tc(29, 0, 9, 59, 29), Tc(29, 23, 59, 59, 29), Tc(29, 5, 1, 0, 2), Tc(29, 0, 0, 0, 0)}) {
            SCOPED_TRACE(t.Format() + " units " + std::to_string(units));
            uint64_t seconds = t.hours * 3600u + t.minutes * 60u + t.seconds + 1;
            if (seconds * units >= (uint64_t(1) << 32)) continue;  // the count exceeds 32 bits
            uint32_t c = t.ToCount(units);
            EXPECT_TRUE(FromCount(29, c, units).Equals(t)) << FromCount(29, c, units).Format();
        }
    }
    EXPECT_TRUE(FromCount(29, 123456, 0).Equals(Tc(29, 0, 0, 0, 0)));
    EXPECT_TRUE(FromCount(25, 123456, 0).Equals(Tc(25, 0, 0, 0, 0)));
}

TEST(TimecodeTest, EverySecondOfTheDayRoundTrips) {
    for (uint32_t code : {24u, 25u, 30u}) {
        for (uint32_t s = 0; s < 86400; ++s) {
            for (uint32_t f : {0u, Timecode::FramesPerSecond(code) - 1}) {
                Timecode t = Tc(code, int(s / 3600), int(s / 60 % 60), int(s % 60), int(f));
                Timecode back = FromCount(code, t.ToCount(1000), 1000);
                if (!back.Equals(t)) {
                    ADD_FAILURE() << t.Format() << " -> " << back.Format() << " at " << code;
                    return;
                }
            }
        }
    }
}

void CountCall(void* context, TimecodeSource*) {
    ++*static_cast<int*>(context);
}

struct Source : TimecodeSource {
    using TimecodeSource::Notify;
    using TimecodeSource::TimecodeSource;
};

TEST(TimecodeSourceTest, ListenerPairsAreKeptOnce) {
    LAsyncLoop loop;
    Source source(&loop);
    int calls = 0;
    source.AddListener(&calls, CountCall);
    source.AddListener(&calls, CountCall);
    EXPECT_EQ(source.ListenerCount(), 1u);
    source.Notify();
    EXPECT_EQ(calls, 1);
    source.RemoveListener(&calls, CountCall);
    EXPECT_EQ(source.ListenerCount(), 0u);
    source.RemoveListener(&calls, CountCall);
    EXPECT_EQ(source.ListenerCount(), 0u);
    EXPECT_TRUE(source.GetTime().Equals(Tc(30, 0, 0, 0, 0)));
}

struct Remover {
    Source* source;
    int calls = 0;
    static void Call(void* context, TimecodeSource*) {
        auto* self = static_cast<Remover*>(context);
        ++self->calls;
        self->source->RemoveListener(self, Call);
        self->source->RemoveListener(self + 1, Call);  // the next one, not yet called
    }
};

TEST(TimecodeSourceTest, NotifySurvivesRemovalDuringTheWalk) {
    LAsyncLoop loop;
    Source source(&loop);
    Remover r[2] = {{&source}, {&source}};
    source.AddListener(&r[0], Remover::Call);
    source.AddListener(&r[1], Remover::Call);
    source.Notify();
    EXPECT_EQ(r[0].calls, 1);
    EXPECT_EQ(r[1].calls, 0);
    EXPECT_EQ(source.ListenerCount(), 0u);
}

TEST(SleepForMsTest, SleepsAtLeastThatLong) {
    uint32_t t0 = GetEventTimeMs32();
    SleepForMs(30);
    EXPECT_GE(int32_t(GetEventTimeMs32() - t0), 30);
    SleepForMs(0);
}

}  // namespace

namespace {

TEST(TimecodeTest, FormatThenParseGivesTheSameTime) {
    for (uint32_t code : {1u, 24u, 25u, 30u, 100u}) {
        Timecode t = Tc(code, 13, 7, 42, code == 1 ? 0 : int(Timecode::FramesPerSecond(code) - 1));
        Timecode back;
        back.Init(code);
        EXPECT_EQ(back.Parse(t.Format()), 1);
        EXPECT_TRUE(back.Equals(t)) << code << " " << t.Format() << " -> " << back.Format();
    }
}

}  // namespace
