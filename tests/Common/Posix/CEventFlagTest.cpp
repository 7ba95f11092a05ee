#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "Common/Posix/CEventFlag.h"

namespace {

TEST(CEventFlagTest, AutoResetWaitConsumesTheFlag) {
    CEventFlag flag;
    flag.Set();
    auto t0 = std::chrono::steady_clock::now();
    flag.Wait();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(500));
    EXPECT_FALSE(flag.IsSet());
    EXPECT_FALSE(flag.WaitFor(20));
    flag.Set();
    flag.Reset();
    EXPECT_FALSE(flag.WaitFor(5));
}

TEST(CEventFlagTest, SetWakesEveryWaiterOfAManualFlagAndOneOfAnAutoFlag) {
    {
        CEventFlag manual(true);
        std::atomic<int> woke{0};
        std::vector<std::thread> waiters;
        for (int i = 0; i < 3; ++i)
            waiters.emplace_back([&] {
                manual.Wait();
                ++woke;
            });
        manual.Set();
        for (auto& w : waiters) w.join();
        EXPECT_EQ(woke, 3);
        EXPECT_TRUE(manual.IsSet());
    }
    {
        CEventFlag automatic;
        std::atomic<int> woke{0};
        std::vector<std::thread> waiters;
        for (int i = 0; i < 2; ++i)
            waiters.emplace_back([&] {
                if (automatic.WaitFor(3000)) ++woke;
            });
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        automatic.Set();
        auto t0 = std::chrono::steady_clock::now();
        while (woke == 0 && std::chrono::steady_clock::now() - t0 < std::chrono::seconds(2))
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_EQ(woke, 1);
        automatic.Set();
        for (auto& w : waiters) w.join();
        EXPECT_EQ(woke, 2);
    }
}

}  // namespace
