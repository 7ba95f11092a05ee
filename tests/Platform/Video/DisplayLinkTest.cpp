#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "Platform/Video/DisplayLink.h"
#include "Platform/Video/HostTime.h"
#include "tests/support/HeadlessScreens.h"

namespace {

struct Counter {
    std::atomic<int> ticks{0};
    std::atomic<uint64_t> lastTime{0};
    static int32_t Callback(plat::DisplayLink*, uint64_t hostTime, void* context) {
        auto* self = static_cast<Counter*>(context);
        self->lastTime = hostTime;
        ++self->ticks;
        return 0;
    }
};

class DisplayLinkTest : public ::testing::Test {
protected:
    void TearDown() override { plat::SetDisplayLinkSettings({}); }
};

TEST_F(DisplayLinkTest, HostTimeIsMonotonicNanoseconds) {
    uint64_t a = plat::HostTimeNow();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    uint64_t b = plat::HostTimeNow();
    EXPECT_GE(b - a, 2000000u);
}

TEST_F(DisplayLinkTest, DefaultsToSixtyHertz) {
    plat::Ref<plat::DisplayLink> link = plat::DisplayLink::CreateWithActiveDisplays();
    ASSERT_NE(link, nullptr);
    plat::VideoTime period = link->NominalOutputVideoRefreshPeriod();
    EXPECT_EQ(period.value, 1);
    EXPECT_EQ(period.scale, 60);
    EXPECT_EQ(period.flags, 0u);
    link = nullptr;
}

TEST_F(DisplayLinkTest, PeriodFollowsTheFirstScreen) {
    struct Case {
        double rate;  // negative: no screens at all
        int64_t value;
        int32_t scale;
    };
    const Case cases[] = {
        {60, 1, 60}, {120, 1, 120}, {59.94, 1000, 59940}, {0, 1, 60}, {1e9, 1, 60}, {-1, 1, 60},
    };
    for (const Case& c : cases) {
        testsupport::HeadlessScreens screens;
        std::vector<plat::Screen> list;
        if (c.rate >= 0) {
            list.push_back(plat::headless::HeadlessBackend::MakeScreen(1, {0, 0, 800, 600}, 0));
            list.back().refreshRate = c.rate;
        }
        screens.Backend().SetScreens(list);
        plat::Ref<plat::DisplayLink> link = plat::DisplayLink::CreateWithActiveDisplays();
        ASSERT_NE(link, nullptr);
        const plat::VideoTime period = link->NominalOutputVideoRefreshPeriod();
        EXPECT_EQ(period.value, c.value) << c.rate;
        EXPECT_EQ(period.scale, c.scale) << c.rate;
        link = nullptr;
    }
}

TEST_F(DisplayLinkTest, UnavailableLinkIsNotCreated) {
    plat::DisplayLinkSettings settings;
    settings.available = false;
    plat::SetDisplayLinkSettings(settings);
    EXPECT_EQ(plat::DisplayLink::CreateWithActiveDisplays(), nullptr);
}

TEST_F(DisplayLinkTest, ManualTicksRunOnlyWhileStarted) {
    plat::DisplayLinkSettings settings;
    settings.manualTicks = true;
    plat::SetDisplayLinkSettings(settings);
    plat::Ref<plat::DisplayLink> link = plat::DisplayLink::CreateWithActiveDisplays();
    ASSERT_NE(link, nullptr);
    Counter counter;
    link->SetOutputCallback(&Counter::Callback, &counter);
    EXPECT_FALSE(link->Tick());
    ASSERT_TRUE(link->Start());
    EXPECT_TRUE(link->Tick());
    EXPECT_TRUE(link->Tick());
    EXPECT_NE(counter.lastTime.load(), 0u);
    link->Stop();
    EXPECT_FALSE(link->Tick());
    EXPECT_EQ(counter.ticks.load(), 2);
    link = nullptr;
}

TEST_F(DisplayLinkTest, ThreadTicksAtNominalRateAndStopsCleanly) {
    plat::DisplayLinkSettings settings;
    settings.nominalPeriod = {1, 500, 0};
    plat::SetDisplayLinkSettings(settings);
    plat::Ref<plat::DisplayLink> link = plat::DisplayLink::CreateWithActiveDisplays();
    ASSERT_NE(link, nullptr);
    Counter counter;
    link->SetOutputCallback(&Counter::Callback, &counter);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(link->Start());
    EXPECT_TRUE(link->IsRunning());
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    link->Stop();
    const auto elapsed = std::chrono::steady_clock::now() - start;
    int afterStop = counter.ticks.load();
    EXPECT_GT(afterStop, 5);
    // Never faster than the period: missed refreshes are skipped, not caught up.
    EXPECT_LE(afterStop, elapsed / std::chrono::milliseconds(2) + 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(counter.ticks.load(), afterStop);
    // Restartable after a stop.
    ASSERT_TRUE(link->Start());
    // A loaded machine may take a while to schedule the restarted thread.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (counter.ticks.load() == afterStop && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    link = nullptr;  // stops and joins
    EXPECT_GT(counter.ticks.load(), afterStop);
}

struct SelfStopper {
    std::atomic<int> ticks{0};
    static int32_t Callback(plat::DisplayLink* link, uint64_t, void* context) {
        auto* self = static_cast<SelfStopper*>(context);
        if (++self->ticks == 3) link->Stop();
        return 0;
    }
};

TEST_F(DisplayLinkTest, StopFromCallbackDoesNotDeadlock) {
    plat::DisplayLinkSettings settings;
    settings.nominalPeriod = {1, 1000, 0};
    plat::SetDisplayLinkSettings(settings);
    plat::Ref<plat::DisplayLink> link = plat::DisplayLink::CreateWithActiveDisplays();
    ASSERT_NE(link, nullptr);
    SelfStopper stopper;
    link->SetOutputCallback(&SelfStopper::Callback, &stopper);
    ASSERT_TRUE(link->Start());
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(link->IsRunning());
    EXPECT_EQ(stopper.ticks.load(), 3);
    link = nullptr;
}

}  // namespace
