#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

#include "Orbilume/CSources/Net/CSocketSelector.h"
#include "tests/Orbilume/CSources/Net/NetTestLoop.h"

namespace {

struct Calls {
    int read = 0, write = 0;
    std::thread::id thread;
    static void Callback(void* self, int op) {
        auto* c = static_cast<Calls*>(self);
        c->thread = std::this_thread::get_id();
        (op == CSocketSelector::kRead ? c->read : c->write)++;
    }
};

struct CSocketSelectorTest : ::testing::Test {
    nettest::MainLoop main;
    void SetUp() override { CSocketSelector::Acquire(main.Loop()); }
    void TearDown() override { CSocketSelector::Release(); }
};

TEST_F(CSocketSelectorTest, CallbacksRunOnTheMainThreadOncePerArming) {
    nettest::RawUdp rx, tx;
    Calls calls;
    CSocketSelector::Register(rx.Fd(), &calls, &Calls::Callback);
    CSocketSelector::Arm(rx.Fd(), CSocketSelector::kRead);
    CSocketSelector::Arm(rx.Fd(), CSocketSelector::kRead);  // already armed: nothing more
    tx.SendTo(rx.Port(), "a");
    ASSERT_TRUE(main.RunUntil([&] { return calls.read == 1; }));
    EXPECT_EQ(calls.thread, std::this_thread::get_id());
    main.Spin(0.02);
    EXPECT_EQ(calls.read, 1);
    CSocketSelector::Arm(rx.Fd(), CSocketSelector::kRead);  // the datagram is still there
    ASSERT_TRUE(main.RunUntil([&] { return calls.read == 2; }));
    CSocketSelector::Arm(rx.Fd(), CSocketSelector::kWrite);
    ASSERT_TRUE(main.RunUntil([&] { return calls.write == 1; }));
    CSocketSelector::Unregister(rx.Fd());
}

TEST_F(CSocketSelectorTest, ReportsDescriptorsAbove1023) {
    rlimit old{};
    getrlimit(RLIMIT_NOFILE, &old);
    rlimit raised = old;
    if (raised.rlim_cur < 2048) raised.rlim_cur = std::min<rlim_t>(2048, raised.rlim_max);
    if (setrlimit(RLIMIT_NOFILE, &raised) != 0 || raised.rlim_cur <= 1500)
        GTEST_SKIP() << "cannot raise the limit";
    nettest::RawUdp rx, tx;
    ASSERT_EQ(dup2(rx.Fd(), 1500), 1500);
    Calls calls;
    CSocketSelector::Register(1500, &calls, &Calls::Callback);
    CSocketSelector::Arm(1500, CSocketSelector::kRead);
    tx.SendTo(rx.Port(), "high");
    EXPECT_TRUE(main.RunUntil([&] { return calls.read == 1; }));
    CSocketSelector::Unregister(1500);
    close(1500);
    setrlimit(RLIMIT_NOFILE, &old);
}

TEST_F(CSocketSelectorTest, InvalidDescriptorIsReportedOnceAndNotWatchedAgain) {
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    Calls calls;
    CSocketSelector::Register(fd, &calls, &Calls::Callback);
    close(fd);
    CSocketSelector::Arm(fd, CSocketSelector::kRead);
    ASSERT_TRUE(main.RunUntil([&] { return calls.read == 1; }));
    CSocketSelector::Arm(fd, CSocketSelector::kRead);
    main.Spin(0.05);
    EXPECT_EQ(calls.read, 1);
    CSocketSelector::Unregister(fd);
}

TEST_F(CSocketSelectorTest, UnregisterDropsFiredEntries) {
    nettest::RawUdp rx, tx;
    Calls calls;
    CSocketSelector::Register(rx.Fd(), &calls, &Calls::Callback);
    CSocketSelector::Arm(rx.Fd(), CSocketSelector::kWrite);  // fires at once on the service thread
    usleep(20000);
    CSocketSelector::Unregister(rx.Fd());
    main.Spin(0.02);
    EXPECT_EQ(calls.write, 0);
}

}  // namespace
