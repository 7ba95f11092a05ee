#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "Lib3/LSources/Mac/CMacTimer.h"
#include "Platform/AppKit/Application.h"
#include "Platform/Foundation/RunLoop.h"

namespace {

struct Wakes {
    std::atomic<int> calls{0};
    std::atomic<int> firesSeen{0};
    std::atomic<int>* fires = nullptr;
    bool offMain = false;
    static void Call(void* self, CMacTimer*) {
        auto* w = static_cast<Wakes*>(self);
        if (!plat::RunLoop::IsMainThread()) w->offMain = true;
        w->firesSeen = w->fires->load();
        ++w->calls;
    }
};

void Turn(int times) {
    for (int i = 0; i < times; ++i) plat::RunLoop::Main()->RunInMode(plat::kRunLoopDefaultMode, 0.002, false);
}

TEST(CMacTimerTest, FiresFromAnyThreadWakeTheMainThreadOnce) {
    std::atomic<int> fires{0};
    Wakes w;
    w.fires = &fires;
    auto* timer = new CMacTimer(&Wakes::Call, &w);
    for (int i = 0; i < 10; ++i) timer->Fire();
    Turn(5);
    EXPECT_EQ(w.calls, 1);

    std::vector<std::thread> firers;
    for (int t = 0; t < 4; ++t)
        firers.emplace_back([&] {
            for (int i = 0; i < 500; ++i) {
                ++fires;
                timer->Fire();
            }
        });
    auto t0 = std::chrono::steady_clock::now();
    while (w.firesSeen < 2000 && std::chrono::steady_clock::now() - t0 < std::chrono::seconds(5)) Turn(1);
    for (auto& f : firers) f.join();
    Turn(5);
    EXPECT_EQ(w.firesSeen, 2000);  // a call came after the last Fire
    EXPECT_FALSE(w.offMain);
    CRefObj::Free(timer);
    int before = w.calls;
    Turn(3);
    EXPECT_EQ(w.calls, before);
}

TEST(CMacTimerTest, TenThreadsLoseNoFinalWakeUpAndEachCallPostsAnEvent) {
    constexpr int kThreads = 10, kCalls = 1000;
    plat::Application* app = plat::Application::Shared();
    app->DiscardEvents(plat::kAnyEventMask);
    std::atomic<int> fires{0};
    Wakes w;
    w.fires = &fires;
    auto* timer = new CMacTimer(&Wakes::Call, &w);
    std::vector<std::thread> firers;
    for (int t = 0; t < kThreads; ++t)
        firers.emplace_back([&] {
            for (int i = 0; i < kCalls; ++i) {
                ++fires;
                timer->Fire();
            }
        });
    auto t0 = std::chrono::steady_clock::now();
    while (w.firesSeen < kThreads * kCalls &&
           std::chrono::steady_clock::now() - t0 < std::chrono::seconds(10))
        Turn(1);
    for (auto& f : firers) f.join();
    Turn(5);
    EXPECT_EQ(w.firesSeen, kThreads * kCalls);
    EXPECT_FALSE(w.offMain);
    // One application-defined event per callback, so waits for events end.
    EXPECT_EQ(app->QueuedEventCount(), size_t(w.calls.load()));
    plat::Event e;
    EXPECT_TRUE(app->NextEvent(plat::EventMaskOf(plat::EventType::kApplicationDefined), 0,
                               plat::kRunLoopDefaultMode, false, &e));
    app->DiscardEvents(plat::kAnyEventMask);
    CRefObj::Free(timer);
}

}  // namespace
