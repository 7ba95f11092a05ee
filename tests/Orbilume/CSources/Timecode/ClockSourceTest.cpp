#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "Lib3/LSources/CoreData/LAsyncMainLoop.h"
#include "Orbilume/CSources/Timecode/ClockSource.h"
#include "Platform/Foundation/RunLoop.h"
#include "Platform/Foundation/WallClock.h"
#include "tests/support/FakeClock.h"

namespace {

class FakeWallClock : public plat::WallClock {
public:
    FakeWallClock() { plat::SetWallClock(this); }
    ~FakeWallClock() override { plat::SetWallClock(nullptr); }
    double Now() const override { return now; }
    double now = 0;
};

struct ClockSourceTest : ::testing::Test {
    ClockSourceTest() {
        const char* tz = std::getenv("TZ");
        if (tz) oldTz = tz;
        hadTz = tz != nullptr;
        setenv("TZ", "EST5", 1);  // a fixed offset: UTC-5 all year
        tzset();
    }
    ~ClockSourceTest() override {
        if (hadTz)
            setenv("TZ", oldTz.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    // Lets the main run loop fire whatever is due on the fake clock.
    void Turn() {
        for (int i = 0; i < 3; ++i) plat::RunLoop::Main()->RunInMode(plat::kRunLoopDefaultMode, 0, false);
    }
    static void Count(void* context, TimecodeSource*) { ++*static_cast<int*>(context); }

    std::string oldTz;
    bool hadTz = false;
    testsupport::FakeClock clock{5000.0};
    FakeWallClock wall;
    LAsyncMainLoop loop;
};

TEST_F(ClockSourceTest, PollsOnlyWithListenersAndNotifiesOnChange) {
    wall.now = 1700000000.25;  // 2023-11-14 22:13:20.25 UTC = 17:13:20.25 at UTC-5
    ClockSource source(&loop);
    Turn();
    clock.AdvanceMs(2000);
    Turn();
    EXPECT_EQ(source.GetTime().code, 30u);  // never polled

    int notes = 0;
    source.AddListener(&notes, Count);
    Turn();  // the first poll is immediate
    EXPECT_EQ(notes, 1);
    EXPECT_EQ(source.GetTime().code, 100u);
    EXPECT_EQ(source.GetTime().Format(), "17:13:20.25");

    clock.AdvanceMs(500);
    Turn();
    EXPECT_EQ(notes, 1);  // polled, nothing changed

    wall.now += 0.5;
    clock.AdvanceMs(400);
    Turn();
    EXPECT_EQ(notes, 1);  // not due yet
    clock.AdvanceMs(100);
    Turn();
    EXPECT_EQ(notes, 2);
    EXPECT_EQ(source.GetTime().Format(), "17:13:20.75");

    source.RemoveListener(&notes, Count);
    wall.now += 1;
    clock.AdvanceMs(1000);
    Turn();
    EXPECT_EQ(source.GetTime().Format(), "17:13:20.75");  // stopped without listeners
}

TEST_F(ClockSourceTest, LocalTimeFollowsTheZone) {
    wall.now = 86400.0 * 3 + 3600 * 4 + 0.999;  // 04:00:00.999 UTC
    ClockSource source(&loop);
    int notes = 0;
    source.AddListener(&notes, Count);
    Turn();
    EXPECT_EQ(source.GetTime().Format(), "23:00:00.99");
}

}  // namespace
