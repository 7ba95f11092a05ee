#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <vector>

#include "Lib3/LSources/CoreData/LTimer.h"
#include "Lib3/LSources/Mac/GetEventTimeMs.h"
#include "tests/support/FakeClock.h"

namespace {

// Owner that records the timers whose expiry reaches it, and consumes the message.
class Owner : public LHandler {
public:
    Owner(LHandler* upper, std::vector<const LHandler*>* log) : LHandler(upper), fLog(log) {}
    LMessage Handle(const LMessage& msg) override {
        if (msg.Is(LTimer_Expire)) {
            fLog->push_back(msg.sender);
            return LMessage();
        }
        return LHandler::Handle(msg);
    }
    std::vector<const LHandler*>* fLog;
};

struct LTimerTest : ::testing::Test {
    // Starts 200 ms before the 32-bit millisecond counter wraps.
    testsupport::FakeClock clock{4294967.096};
    std::vector<const LHandler*> fired;
    LHandler root{nullptr};
    Owner doc{&root, &fired};
    Owner dlg{&root, &fired};
    Owner pane{&dlg, &fired};

    // One idle pass: dispatches every expiry allowed now.
    std::vector<const LHandler*> Pass(const LHandler* modal = nullptr, const LHandler* front = nullptr,
                                      bool active = true) {
        fired.clear();
        uint32_t now = LTimer::Now();
        for (LMessage m = LTimer::NextExpired(now, modal, front, active); !m.IsEmpty();
             m = LTimer::NextExpired(now, modal, front, active))
            LHandler::Dispatch(m);
        return fired;
    }
};

TEST_F(LTimerTest, ModeRules) {
    enum Who { kDoc, kDlg, kPane };
    struct Case {
        uint32_t mode;
        Who owner;
        bool modal;  // the dialog runs modally
        bool front;  // the dialog is the front modal-kind window
        bool active;
        bool fires;
    } cases[] = {
        {0, kDoc, true, true, false, true},
        // 1 and 5: held behind another owner's front window and under another handler's modal run
        {1, kDoc, false, false, false, true},
        {1, kDoc, false, true, true, false},
        {1, kDlg, false, true, true, true},
        {1, kDoc, true, false, true, false},
        {1, kDlg, true, true, false, true},
        {1, kPane, true, true, true, true},
        {5, kDoc, true, false, true, false},
        {5, kDlg, true, false, true, true},
        // 4: like 1 without a modal run, fires under any modal run
        {4, kDoc, false, true, true, false},
        {4, kDoc, false, false, false, true},
        {4, kDoc, true, true, true, true},
        {4, kDlg, true, true, true, true},
        // 2 and 6: only while active
        {2, kDoc, false, false, false, false},
        {2, kDoc, false, true, true, true},
        {2, kDoc, true, false, true, true},
        {2, kDlg, true, false, false, false},
        {6, kDoc, true, true, false, false},
        {6, kDoc, false, false, true, true},
        // 3 and 7: while active, and like 1
        {3, kDoc, false, false, false, false},
        {3, kDoc, false, false, true, true},
        {3, kDoc, false, true, true, false},
        {3, kDlg, false, true, true, true},
        {3, kDoc, true, false, true, false},
        {3, kDlg, true, false, true, true},
        {3, kDlg, true, false, false, false},
        {7, kDoc, true, true, true, false},
        {7, kDoc, false, false, true, true},
        // 8 and above: like 1
        {8, kDoc, false, true, true, false},
        {9, kDoc, true, false, true, false},
        {12, kDlg, true, false, false, true},
        {8, kDoc, false, false, false, true},
    };
    for (const Case& c : cases) {
        LHandler* owner = c.owner == kDoc ? static_cast<LHandler*>(&doc) : c.owner == kDlg ? &dlg : &pane;
        LTimer t(owner);
        t.StartOnce(0, c.mode);
        const LHandler* modal = c.modal ? &dlg : nullptr;
        const LHandler* front = c.front ? &dlg : nullptr;
        auto got = Pass(modal, front, c.active);
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << " owner " << c.owner << " modal " << c.modal
                                        << " front " << c.front << " active " << c.active);
        EXPECT_EQ(got.size(), c.fires ? 1u : 0u);
        EXPECT_EQ(t.IsBlocked(modal, front, c.active), !c.fires);
        if (!c.fires) {
            EXPECT_TRUE(t.IsRunning());  // held, not dropped
            EXPECT_EQ(LTimer::TimeToNext(modal, front, c.active), LTimer::kForever);
            EXPECT_EQ(LTimer::TimeToNext(nullptr, nullptr, true), 0u);  // allowed again
        } else {
            EXPECT_FALSE(t.IsRunning());
        }
    }
    EXPECT_EQ(LTimer::TimeToNext(nullptr, nullptr, true), LTimer::kForever);
}

TEST_F(LTimerTest, HeldTimerFiresBeforeDueOnes) {
    LTimer held(&doc), due(&doc);
    held.StartOnce(0, 2);
    EXPECT_TRUE(Pass(nullptr, nullptr, false).empty());
    due.StartOnce(0, 0);
    clock.AdvanceMs(5);
    auto got = Pass(nullptr, nullptr, true);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0], &held);
    EXPECT_EQ(got[1], &due);
}

TEST_F(LTimerTest, PeriodicTimerDoesNotBurstAfterAStall) {
    LTimer t(&doc);
    t.StartRepeat(100);
    clock.AdvanceMs(550);  // across the wrap of the counter
    EXPECT_EQ(Pass().size(), 1u);
    EXPECT_EQ(Pass().size(), 0u);
    EXPECT_EQ(LTimer::TimeToNext(nullptr, nullptr, true), 100u);
    clock.AdvanceMs(99);
    EXPECT_EQ(Pass().size(), 0u);
    clock.AdvanceMs(1);
    EXPECT_EQ(Pass().size(), 1u);
    EXPECT_TRUE(t.IsRunning());
}

TEST_F(LTimerTest, OrderAcrossTheWrapAndForEqualDueTimes) {
    LTimer late(&doc), early(&doc), same1(&doc), same2(&doc);
    late.StartOnce(300, 0);  // due after the counter wrapped
    early.StartOnce(150, 0);
    same1.StartOnce(150, 0);
    same2.StartOnce(150, 0);
    EXPECT_EQ(LTimer::TimeToNext(nullptr, nullptr, true), 150u);
    clock.AdvanceMs(400);
    auto got = Pass();
    std::vector<const LHandler*> want{&early, &same1, &same2, &late};
    EXPECT_EQ(got, want);
}

TEST_F(LTimerTest, OneShotEndsIdleAndDestructionUnlinks) {
    {
        LTimer gone(&doc), held(&doc);
        gone.StartOnce(10, 0);
        held.StartOnce(0, 2);
        Pass(nullptr, nullptr, false);
        EXPECT_TRUE(held.IsRunning());
    }
    clock.AdvanceMs(20);
    EXPECT_TRUE(Pass().empty());
    EXPECT_EQ(LTimer::TimeToNext(nullptr, nullptr, true), LTimer::kForever);

    LTimer t(&doc);
    t.StartOnce(0, 0);
    t.StartOnce(50, 0);  // restart moves it
    EXPECT_TRUE(Pass().empty());
    t.Stop();
    t.Stop();
    EXPECT_FALSE(t.IsRunning());
}

TEST_F(LTimerTest, StartAsksTheLoopToRearm) {
    int rearms = 0;
    LTimer::SetRearmHook([](void* n) { ++*static_cast<int*>(n); }, &rearms);
    LTimer t(&doc);
    t.StartOnce(5, 0);
    t.StartRepeat(5);
    LTimer::SetRearmHook(nullptr, nullptr);
    EXPECT_EQ(rearms, 2);
}

TEST(GetEventTimeMsTest, RoundsTheClockToMilliseconds) {
    testsupport::FakeClock clock(12.3456);
    EXPECT_EQ(GetEventTimeMs(), 12346);
    clock.Set(12.3454);
    EXPECT_EQ(GetEventTimeMs(), 12345);
}

TEST(MillisecondWaitTest, SleepsUntilTheDelayHasPassed) {
    auto t0 = std::chrono::steady_clock::now();
    MillisecondWait(20);
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0);
    EXPECT_GE(ms.count(), 19);
    EXPECT_LT(ms.count(), 1000);
}

}  // namespace
