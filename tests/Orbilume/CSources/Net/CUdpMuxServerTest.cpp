#include <gtest/gtest.h>
#include <sched.h>

#include <thread>

#include "Common/Posix/CPsxThread.h"
#include "Orbilume/CSources/Net/CUdpMuxServer.h"

namespace {

// The relay thread runs one priority step above the thread that made the server.
TEST(CUdpMuxServerTest, RelayThreadRunsOneStepAboveItsCreator) {
    {
        CUdpMuxServer server;
        int policy = -1, priority = -1;
        ASSERT_TRUE(server.RelaySchedule(policy, priority));
        int myPolicy, myPriority;
        ASSERT_TRUE(CPsxThread::GetCurrentSchedule(myPolicy, myPriority));
        CPsxThread::Schedule want = CPsxThread::ScheduleFor(myPolicy, myPriority, 1);
        EXPECT_EQ(policy, want.policy);
        EXPECT_EQ(priority, want.priority);
    }

    bool refused = false;
    int policy = -1, priority = -1;
    std::thread creator([&] {
        if (!CPsxThread::SetCurrentPriority(SCHED_RR, 10)) {
            refused = true;
            return;
        }
        CUdpMuxServer server;
        (void)server.RelaySchedule(policy, priority);
    });
    creator.join();
    if (refused) GTEST_SKIP() << "a real-time schedule was refused here";
    EXPECT_EQ(policy, SCHED_RR);
    EXPECT_EQ(priority, 11);
}

}  // namespace
