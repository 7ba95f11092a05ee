#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <thread>

#include "Common/Posix/CPsxMutex.h"
#include "Common/Posix/CPsxThread.h"
#include "tests/support/EnvOverride.h"

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

TEST(CPsxThreadTest, EnvironmentTurnsRealTimeRequestsOff) {
    struct Case {
        const char* value;
        bool allowed;
    } cases[] = {{nullptr, true}, {"", true}, {"0", true}, {"1", false}, {"yes", false}};
    for (const Case& c : cases) {
        testsupport::EnvOverride env("ORBILUME_NO_REALTIME", c.value);
        EXPECT_EQ(CPsxThread::RealTimeAllowed(), c.allowed) << (c.value ? c.value : "(unset)");
    }
    testsupport::EnvOverride env("ORBILUME_NO_REALTIME", "1");
    EXPECT_FALSE(CPsxThread::SetCurrentPriority(SCHED_RR, 1));
    Seen seen;
    CPsxThread t;
    ASSERT_TRUE(t.Start(&Seen::Body, &seen, CPsxThread::kRealTime));
    t.Join();
    EXPECT_TRUE(seen.ran);
    EXPECT_EQ(seen.policy, SCHED_OTHER);
}

// Takes real-time scheduling away from the calling thread: no real-time priority allowed by the
// limit, and no CAP_SYS_NICE to pass over it (root in a container usually holds it).
bool DropRealTime() {
    const rlimit none{0, 0};
    if (setrlimit(RLIMIT_RTPRIO, &none) != 0) return false;
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
    if (syscall(SYS_capget, &header, data) != 0) return false;
    const unsigned word = CAP_SYS_NICE / 32, bit = 1u << (CAP_SYS_NICE % 32);
    data[word].effective &= ~bit;
    data[word].permitted &= ~bit;
    data[word].inheritable &= ~bit;
    return syscall(SYS_capset, &header, data) == 0;
}

// Whether making a round-robin thread is refused with EPERM.
bool RealTimeRefused() {
    pthread_attr_t attr;
    CPsxThread::AttrInit(attr);
    CPsxThread::AttrSetPolicy(attr, SCHED_RR);
    CPsxThread::AttrSetPriority(attr, sched_get_priority_max(SCHED_RR));
    pthread_t thread;
    const int rc = pthread_create(
        &thread, &attr, [](void*) -> void* { return nullptr; }, nullptr);
    CPsxThread::AttrDestroy(attr);
    if (rc == 0) pthread_join(thread, nullptr);
    return rc == EPERM;
}

// The refused path, forced in a child process whatever the test runs as.
TEST(CPsxThreadTest, RefusedRealTimeFallsBackToDefaults) {
    enum Code { kOk, kCannotDrop, kNotRefused, kNotStarted, kDidNotRun, kWrongSchedule };
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (!DropRealTime()) _exit(kCannotDrop);
        if (!RealTimeRefused()) _exit(kNotRefused);
        Seen seen;
        CPsxThread t;
        if (!t.Start(&Seen::Body, &seen, CPsxThread::kRealTime)) _exit(kNotStarted);
        t.Join();
        if (!seen.ran) _exit(kDidNotRun);
        _exit(seen.policy == SCHED_OTHER && seen.priority == 0 ? kOk : kWrongSchedule);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "child ended by signal " << WTERMSIG(status);
    const char* const what[] = {"",
                                "could not drop real-time rights",
                                "real-time scheduling was still granted",
                                "the thread did not start",
                                "the thread did not run",
                                "the thread did not run with the default schedule"};
    const int code = WEXITSTATUS(status);
    EXPECT_EQ(code, kOk) << (code >= 0 && code <= kWrongSchedule ? what[code] : "unexpected exit");
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
