#include <gtest/gtest.h>
#include <sched.h>

#include <atomic>
#include <thread>

#include "Common/Posix/CPsxMutex.h"
#include "Common/Posix/CPsxThread.h"

namespace {

TEST(CPsxThreadTest, ScheduleRules) {
    const int rrMin = sched_get_priority_min(SCHED_RR);
    const int rrMax = sched_get_priority_max(SCHED_RR);
    struct Case {
        int policy, priority, change;
        int wantPolicy, wantPriority;
    } cases[] = {
        {SCHED_OTHER, 0, 0, SCHED_OTHER, 0},
        {SCHED_OTHER, 0, -2, SCHED_OTHER, 0},  // time-sharing has one priority on Linux
        {SCHED_OTHER, 0, CPsxThread::kRealTime, SCHED_RR, rrMax},
        {SCHED_RR, rrMin + 5, 2, SCHED_RR, rrMin + 7},
        {SCHED_RR, rrMax - 1, 10, SCHED_RR, rrMax},
        {SCHED_RR, rrMin + 1, -10, SCHED_RR, rrMin},
        {SCHED_RR, rrMin, CPsxThread::kRealTime, SCHED_RR, rrMax},
    };
    for (const Case& c : cases) {
        CPsxThread::Schedule s = CPsxThread::ScheduleFor(c.policy, c.priority, c.change);
        EXPECT_EQ(s.policy, c.wantPolicy) << c.policy << " " << c.priority << " " << c.change;
        EXPECT_EQ(s.priority, c.wantPriority) << c.policy << " " << c.priority << " " << c.change;
    }
}

TEST(CPsxThreadTest, AttributesAskForTheirScheduleExplicitly) {
    pthread_attr_t attr;
    ASSERT_EQ(CPsxThread::AttrInit(attr), 0);
    const int rrMin = sched_get_priority_min(SCHED_RR);
    EXPECT_EQ(CPsxThread::AttrSetPolicy(attr, SCHED_RR), 0);
    EXPECT_EQ(CPsxThread::AttrSetPriority(attr, rrMin + 1), 0);
    // Without the explicit flag Linux would start the thread with the creator's schedule.
    int inherit = -1, policy = -1, priority = -1;
    pthread_attr_getinheritsched(&attr, &inherit);
    pthread_attr_getschedpolicy(&attr, &policy);
    EXPECT_EQ(inherit, PTHREAD_EXPLICIT_SCHED);
    EXPECT_EQ(policy, SCHED_RR);
    EXPECT_EQ(CPsxThread::AttrGetPriority(attr, priority), 0);
    EXPECT_EQ(priority, rrMin + 1);
    EXPECT_EQ(CPsxThread::AttrDestroy(attr), 0);
}

struct Seen {
    std::atomic<bool> ran{false};
    int policy = -1;
    int priority = -1;
    static void Body(void* arg) {
        auto* s = static_cast<Seen*>(arg);
        CPsxThread::GetCurrentSchedule(s->policy, s->priority);
        s->ran = true;
    }
};

TEST(CPsxThreadTest, RealTimeRequestRunsRoundRobinOrFallsBackToDefaults) {
    Seen seen;
    CPsxThread t;
    ASSERT_TRUE(t.Start(&Seen::Body, &seen, CPsxThread::kRealTime));
    t.Join();
    EXPECT_TRUE(seen.ran);
    // Unprivileged processes get EPERM for SCHED_RR; the thread must run all the same.
    if (seen.policy == SCHED_RR)
        EXPECT_EQ(seen.priority, sched_get_priority_max(SCHED_RR));
    else
        EXPECT_EQ(seen.policy, SCHED_OTHER);
}

TEST(CPsxThreadTest, StartsOnceAndJoinsInDestructor) {
    Seen seen;
    {
        CPsxThread t;
        ASSERT_TRUE(t.Start(&Seen::Body, &seen, -2));
        EXPECT_TRUE(t.IsRunning());
        EXPECT_FALSE(t.Start(&Seen::Body, &seen, 0));
        EXPECT_FALSE(t.IsCurrent());
    }
    EXPECT_TRUE(seen.ran);
    EXPECT_EQ(seen.policy, SCHED_OTHER);
}

TEST(CPsxThreadTest, ResetPriorityReturnsToTimeSharing) {
    std::thread([] {
        EXPECT_TRUE(CPsxThread::ResetCurrentPriority());
        int policy, priority;
        ASSERT_TRUE(CPsxThread::GetCurrentSchedule(policy, priority));
        EXPECT_EQ(policy, SCHED_OTHER);
        EXPECT_EQ(priority, 0);
    }).join();
}

TEST(CPsxMutexTest, RecursiveForTheOwnerExclusiveForOthers) {
    CPsxMutex m;
    m.Lock();
    EXPECT_TRUE(m.TryLock());
    bool other = true;
    std::thread([&] { other = m.TryLock(); }).join();
    EXPECT_FALSE(other);
    m.Unlock();
    m.Unlock();
    std::thread([&] {
        other = m.TryLock();
        if (other) m.Unlock();
    }).join();
    EXPECT_TRUE(other);
}

}  // namespace
