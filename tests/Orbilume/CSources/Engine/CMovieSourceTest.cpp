#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "Orbilume/CSources/Engine/CMovieSource.h"
#include "Orbilume/CSources/Engine/UTimeText.h"
#include "Platform/Video/PixelBuffer.h"

namespace {

// A movie that records the commands it is given and answers from a script.
class FakeMovie final : public CAVMovie {
public:
    FakeMovie() : CAVMovie(LFsSpec()) {}

    int32_t GetStatus() override { return kReady; }
    bool HasVideo() override { return true; }
    bool HasAudio() override { return false; }
    float GetDuration() override { return 100; }
    float GetTime() override { return time; }
    float GetRate() override { return rate; }
    void GetRange(float& s, float& e) override {
        s = rangeStart;
        e = rangeEnd > 0 ? rangeEnd : 100;
    }
    void SetRange(float s, float e) override {
        rangeStart = s;
        rangeEnd = e;
        Log("range", s, e);
    }
    void SetLoop(bool loop) override { Log("loop", loop); }
    void SetVolume(float volume) override { Log("volume", volume); }
    void QueueRate(float r) override {
        rate = r;
        Log("rate", r);
    }
    void QueueSeek(float t, float r) override { Log("seek", t, r); }
    void QueueStep(bool back, float t) override { Log(back ? "exact" : "step", t); }
    plat::Ref<plat::PixelBuffer> CopyFrame() override { return nullptr; }

    std::string Take() {
        std::string s = log.str();
        log.str("");
        return s;
    }

    float time = 0, rate = 0, rangeStart = 0, rangeEnd = 0;

private:
    template <class... A>
    void Log(const char* what, A... args) {
        log << what;
        ((log << ' ' << args), ...);
        log << ';';
    }
    std::ostringstream log;
};

uint32_t gNow = 5000;
uint32_t Now() {
    return gNow;
}

class MovieSourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        movie = plat::Adopt(new FakeMovie());
        source.SetClock(&Now);
        source.SetMovie(movie);
        source.SetFader(1);
        (void)Update();  // the first play: from the start
        movie->Take();
    }
    bool Update() {
        bool jumped = false;
        (void)source.Update(jumped);
        return jumped;
    }

    plat::Ref<FakeMovie> movie;
    CMovieSource source;
};

TEST_F(MovieSourceTest, AttachingStartsFromTheBeginningWithLoopAndVolume) {
    CMovieSource fresh;
    plat::Ref<FakeMovie> m = plat::Adopt(new FakeMovie());
    fresh.SetMovie(m);
    fresh.SetFader(0.5f);
    fresh.SetVolume(0.5f);
    bool jumped = false;
    (void)fresh.Update(jumped);
    EXPECT_TRUE(jumped);
    EXPECT_EQ(m->Take(), "range 0 0;loop 0;rate 0;seek 0 1;rate 1;volume 0.25;");
}

TEST_F(MovieSourceTest, TimeSeeksExactlyAndPausesUntilTheRateChanges) {
    movie->time = 30;
    source.SetTime(12.5f);
    (void)Update();
    EXPECT_EQ(movie->Take(), "rate 0;range 0 0;loop 0;exact 12.5;");
    EXPECT_EQ(source.CurrentMode(), CMovieSource::kHold);
    movie->time = 12.5f;
    for (int i = 0; i < 3; ++i) (void)Update();
    EXPECT_EQ(movie->Take().find("rate"), std::string::npos);  // still paused
    source.SetRate(2);
    EXPECT_TRUE(Update());
    EXPECT_EQ(movie->Take(), "rate 0;seek 12.5 2;rate 2;");
}

TEST_F(MovieSourceTest, RemainCountsBackFromTheRangeEnd) {
    source.SetEndText(LString("1:00"));
    (void)Update();
    EXPECT_EQ(movie->rangeEnd, 60);
    movie->Take();
    source.SetRemain(3);
    (void)Update();
    EXPECT_EQ(movie->Take(), "rate 0;range 0 0;loop 0;exact 57;");
}

TEST_F(MovieSourceTest, ANewSceneWithAStartRestartsThere) {
    movie->time = 40;
    movie->rate = 1;
    source.SetStartText(LString("5"));
    source.SetScene(2);
    EXPECT_TRUE(Update());
    EXPECT_EQ(movie->Take(), "range 5 0;rate 0;seek 5 1;rate 1;");
    // The same start again in the same scene: nothing.
    source.SetStartText(LString("5.0"));
    EXPECT_FALSE(Update());
    EXPECT_EQ(movie->Take(), "");
}

TEST_F(MovieSourceTest, ARateChangeAtTheRangeEndWaitsForLoop) {
    source.SetEndText(LString("60"));
    (void)Update();
    movie->Take();
    movie->time = 60;
    movie->rate = 0;  // stopped at the end
    source.SetRate(1.5f);
    EXPECT_FALSE(Update());
    EXPECT_EQ(movie->Take(), "");
    source.SetLoop(true);
    EXPECT_TRUE(Update());
    EXPECT_EQ(movie->Take(), "loop 1;rate 0;seek 60 1.5;rate 1.5;");
}

TEST_F(MovieSourceTest, SyncChasesWithTheFaderOnAndLeavesTheMovieAloneWithItOff) {
    source.SetSync(true);
    source.SetStartText(LString("20"));
    (void)Update();
    const std::string on = movie->Take();
    EXPECT_EQ(source.CurrentMode(), CMovieSource::kSync);
    EXPECT_EQ(on.rfind("rate 0;range 0 0;loop 0;", 0), 0u) << on;
    EXPECT_NE(on.find("step"), std::string::npos) << on;  // far off: go there
    source.SetFader(0);
    for (int i = 0; i < 5; ++i) {
        gNow += 100;
        source.SetStartText(LString(std::to_string(21 + i).c_str()));
        (void)Update();
    }
    EXPECT_EQ(movie->Take(), "volume 0;");
}

TEST_F(MovieSourceTest, VolumeFollowsTheFader) {
    source.SetVolume(0.5f);
    source.SetFader(0.8f);
    (void)Update();
    EXPECT_EQ(movie->Take(), "volume 0.4;");
    // Fader off: paused, and silent.
    source.SetFader(0);
    (void)Update();
    EXPECT_EQ(movie->Take(), "rate 0;volume 0;");
}

TEST(TimeTextTest, FieldsCombineBySixtiesAndBadTextsGiveNoTime) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        const char* text;
        float seconds;  // NaN: no time
    } cases[] = {
        {"1:30", 90},
        {"1:02:03.5", 3723.5f},
        {"12.25", 12.25f},
        {"-1:30", -90},
        {" 2 ", 2},
        {"0:0:0:1", 1},
        {"", nan},
        {"1:", nan},
        {":5", nan},
        {"1:-5", nan},
        {"1::5", nan},
        {"1,5", nan},
        {"1:30x", nan},
        {"1:2:3:4:5", nan},
        {"1e3", nan},
        {"nan", nan},
        {"inf", nan},
        {"-", nan},
        {"999999999999999999999999999999999999999999", nan},
        {"99999999999999999999999999999999999:0:0", nan},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        float seconds = -7;
        const bool ok = UTimeText::Parse(LString(c.text), seconds);
        EXPECT_EQ(ok, !std::isnan(c.seconds));
        EXPECT_EQ(seconds, ok ? c.seconds : -7);
    }
}

}  // namespace
